#pragma once

#include "browser/browser.h"

#include <QObject>
#include <QStringList>

namespace korvane::testing {

// A browser whose loads the test performs by hand: navigate() only records the address;
// complete() makes a document of the given markup current and raises documentComplete.
class FakeBrowser : public Browser
{
    Q_OBJECT
public:
    using Browser::Browser;

    void navigate(const QString &address) override { requested.append(address); }
    std::shared_ptr<const Document> document() const override { return m_document; }
    bool lastNavigationFailed() const override { return m_failed; }
    bool lastNavigationRefused() const override { return m_refused; }
    QString lastNavigationProblem() const override { return m_failed ? problem : QString(); }

    // The top-level document `html` finished loading from `address`. A verification page
    // (verification.h) completes refused, as with the real browser.
    void complete(const QString &html, const QString &address, bool failed = false);
    // The same, for the last requested address.
    void completeLast(const QString &html, bool failed = false);
    // A frame inside the page finished loading: the frame object is not the browser's own.
    void completeFrame(const QString &address);

    QStringList requested; // every address passed to navigate(), in order
    QString problem;       // what a failed load tells of itself

private:
    QObject m_frame;
    std::shared_ptr<const Document> m_document;
    bool m_failed = false;
    bool m_refused = false;
};

} // namespace korvane::testing
