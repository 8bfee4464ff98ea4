#include "metered_browser.h"

#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

#include <cmath>

namespace korvane {

MeteredBrowser::MeteredBrowser(Browser &inner, QObject *parent)
    : Browser(parent)
    , m_inner(inner)
    , m_random([] { return QRandomGenerator::global()->generateDouble(); })
    , m_wait([this](std::chrono::milliseconds duration, std::function<void()> done) {
        QTimer::singleShot(duration, this, std::move(done));
    })
{
    connect(&m_inner, &Browser::documentComplete, this, &MeteredBrowser::innerComplete);
}

void MeteredBrowser::resetCounts()
{
    m_requested = 0;
    m_read = 0;
}

void MeteredBrowser::navigate(const QString &address)
{
    if (m_sent == 0 || m_delay.count() <= 0) {
        m_waiting = false;
        ++m_waitId; // a request still waiting is replaced
        send(address);
        return;
    }
    const double factor = 0.5 + std::clamp(m_random(), 0.0, 1.0);
    const auto duration = std::chrono::milliseconds(std::llround(double(m_delay.count()) * factor));
    const quint64 id = ++m_waitId;
    m_waiting = true;
    m_wait(duration, [this, id, address] {
        if (id != m_waitId)
            return; // replaced by a later request
        m_waiting = false;
        send(address);
    });
}

void MeteredBrowser::send(const QString &address)
{
    ++m_sent;
    ++m_requested;
    m_inner.navigate(address);
}

void MeteredBrowser::innerComplete(const QObject *frame, const QString &address)
{
    if (m_waiting)
        return;
    if (frame != m_inner.topLevelObject()) {
        emit documentComplete(frame, address);
        return;
    }
    if (address != QLatin1String("about:blank") && !m_inner.lastNavigationFailed() && !m_inner.lastNavigationRefused())
        ++m_read;
    emit documentComplete(topLevelObject(), address);
}

} // namespace korvane
