#pragma once

#include "browser/browser.h"

#include <QString>

#include <chrono>
#include <functional>

namespace korvane {

// A browser in front of another one: counts the pages asked for and the pages read, and can
// space the requests out. The window's logic drives it like any browser; it passes every
// call on to the browser behind it and raises that browser's completions as its own (the
// top-level document's with its own identity, frames' as they come).
class MeteredBrowser : public Browser
{
    Q_OBJECT
public:
    // `inner` must outlive this object.
    explicit MeteredBrowser(Browser &inner, QObject *parent = nullptr);

    void navigate(const QString &address) override;
    std::shared_ptr<const Document> document() const override { return m_inner.document(); }
    bool lastNavigationFailed() const override { return m_inner.lastNavigationFailed(); }
    bool lastNavigationRefused() const override { return m_inner.lastNavigationRefused(); }
    QString lastNavigationProblem() const override { return m_inner.lastNavigationProblem(); }

    // Since the last resetCounts(): requests passed on to the browser behind, and top-level
    // documents (about:blank aside) that completed neither failed nor refused.
    int pagesRequested() const { return m_requested; }
    int pagesRead() const { return m_read; }
    void resetCounts();

    // Pacing. Every request after the first one this browser passes on waits first, for a time
    // drawn uniformly between 0.5 and 1.5 times `delay`. With 0 (the default) every request
    // goes on at once, inside navigate(). A navigate() during a wait replaces the waiting
    // request, and no completion is raised while a request waits: it abandons the load before.
    void setDelay(std::chrono::milliseconds delay) { m_delay = delay; }
    std::chrono::milliseconds delay() const { return m_delay; }

    // A number drawn uniformly from [0, 1); by default from the system's random generator.
    using Random = std::function<double()>;
    void setRandom(Random random) { m_random = std::move(random); }
    // Starts a wait that calls `done` once after `duration`; by default a single-shot timer on
    // the event loop. Tests put in one that they end by hand.
    using Wait = std::function<void(std::chrono::milliseconds duration, std::function<void()> done)>;
    void setWait(Wait wait) { m_wait = std::move(wait); }

private:
    void send(const QString &address);
    void innerComplete(const QObject *frame, const QString &address);

    Browser &m_inner;
    std::chrono::milliseconds m_delay{0};
    Random m_random;
    Wait m_wait;
    quint64 m_sent = 0;    // requests passed on since this browser was made
    quint64 m_waitId = 0;  // the wait whose end sends the waiting request
    bool m_waiting = false;
    int m_requested = 0;
    int m_read = 0;
};

} // namespace korvane
