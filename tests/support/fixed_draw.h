#pragma once

namespace korvane {

// A small fixed pseudo-random sequence, so that every run of a sample program makes the same
// data (and so the same pictures).
class FixedDraw
{
public:
    int below(int n)
    {
        m_state = m_state * 1103515245u + 12345u;
        return int((m_state >> 8) % unsigned(n));
    }

private:
    unsigned m_state = 20111225u;
};

} // namespace korvane
