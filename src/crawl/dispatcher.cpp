#include "form1_logic.h"

#include "core/failure.h"
#include "core/status.h"
#include "core/texts.h"
#include "notice/notice_bar.h"

namespace korvane {

void Form1Logic::OnDocumentComplete(const QObject *frame, const QString &address)
{
    if (frame != m_browser.topLevelObject())
        return;
    if (address == QLatin1String("about:blank"))
        return;
    try {
        if (m_record.State == texts::stateIniting()) {
            if (const auto document = m_browser.document())
                ReadNoticePage(*document, m_labels, m_view);
        }
    } catch (const Failure &) {
    }
    if (m_record.State == texts::stateIniting()) {
        m_record.State = texts::stateInited();
        ShowStatus(m_record, m_view, texts::stateInited());
        emit startupFinished();
    }
}

} // namespace korvane
