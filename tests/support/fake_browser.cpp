#include "fake_browser.h"

#include "browser/verification.h"

#include <QUrl>

namespace korvane::testing {

void FakeBrowser::complete(const QString &html, const QString &address, bool failed)
{
    m_document = Document::parse(html, QUrl(address));
    m_failed = failed;
    m_refused = !failed && isVerificationPage(*m_document);
    emit documentComplete(topLevelObject(), address);
}

void FakeBrowser::completeLast(const QString &html, bool failed)
{
    complete(html, requested.isEmpty() ? QString() : requested.last(), failed);
}

void FakeBrowser::completeFrame(const QString &address)
{
    emit documentComplete(&m_frame, address);
}

} // namespace korvane::testing
