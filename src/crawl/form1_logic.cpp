#include "form1_logic.h"

#include "core/failure.h"
#include "core/status.h"
#include "core/texts.h"
#include "module_pub.h"
#include "notice/notice_bar.h"

#include <QTime>
#include <QUrl>

namespace korvane {

Form1Logic::Form1Logic(FormView &view, Browser &browser, Origins origins, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_browser(browser)
    , m_origins(std::move(origins))
    , m_clock(&Form1Logic::localSecondsSinceMidnight)
{
    m_labels[0] = templateLinkLabel();
    connect(&m_browser, &Browser::documentComplete, this, &Form1Logic::OnDocumentComplete);
}

double Form1Logic::localSecondsSinceMidnight()
{
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void Form1Logic::navigate(const QString &address)
{
    // An address that is empty is never sent: the browser would load nothing and never
    // complete, and the walk would wait forever.
    if (!address.isEmpty())
        m_browser.navigate(address);
}

void Form1Logic::OnWindowLoad()
{
    m_record.State = texts::stateIniting();
    ShowStatus(m_record, m_view, m_record.State);
    PrepareLinkLabels(m_labels, m_view);
    navigate(AddCacheBuster(noticeAddress(m_origins), m_clock()));
}

void Form1Logic::OnAnalyseClick()
{
    emit analysisStarted();
    m_record.PageCount = 0;
    m_record.PageCursor = 0;
    m_record.eraseSiteTable();
    m_record.State = texts::stateAnaing();
    ShowStatus(m_record, m_view, m_record.State);
    m_view.setMousePointer(11);
    m_view.setMarkerText(m_view.domainText());
    m_record.LastFirstEntry.clear();
    m_record.DoneMessage.clear();
    m_record.TotalMissing = true;
    m_record.WalkWithoutTotal = false;
    m_record.EntriesRead = 0;
    m_record.FailureReason.clear();
    navigate(AddCacheBuster(queryAddress(m_origins, m_view.domainText()), m_clock()));
}

void Form1Logic::OnLinkLabelClick(int index)
{
    if (index < 0 || index >= kLinkLabelCount)
        return;
    // The notice page comes over plain HTTP: it must not be able to start programs or open
    // local files, so only web addresses are opened.
    const QUrl url(m_labels[index].link, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        m_view.openExternal(m_labels[index].link);
}

} // namespace korvane
