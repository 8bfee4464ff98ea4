#pragma once

#include "dom.h"

#include <QObject>
#include <QString>

#include <memory>

namespace korvane {

// The embedded browser as the window's logic sees it.
//
// navigate() returns at once; the load runs on the event loop and ends with documentComplete
// on the user-interface thread, once for the top-level document (frame == topLevelObject())
// and possibly for frames (any other frame object). A load that fails also completes, with a
// small error document, and lastNavigationFailed() then tells so until the next navigate().
// A load that the search engine answered with its verification (captcha) page completes too,
// and lastNavigationRefused() tells so; such a load is refused, not failed.
class Browser : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Browser() override = default;

    virtual void navigate(const QString &address) = 0;

    // The top-level document of the last completed load; null before the first one.
    virtual std::shared_ptr<const Document> document() const = 0;

    // Whether the load that completed last failed (network error, HTTP error, time-out).
    virtual bool lastNavigationFailed() const = 0;

    // Whether the search engine refused the load that completed last: it redirected to its
    // verification pages (not followed) or served one (see verification.h).
    virtual bool lastNavigationRefused() const = 0;

    // What went wrong with the load that completed last, in one short line: "connection
    // refused (127.0.0.1:9)", "proxy authentication required", "timed out after 30 s",
    // "HTTP 502", ... Empty when it loaded, and from browsers that cannot tell.
    virtual QString lastNavigationProblem() const { return QString(); }

    // "The control's own object": the identity that documentComplete passes as its frame for
    // the top-level document.
    const QObject *topLevelObject() const { return this; }

signals:
    void documentComplete(const QObject *frame, const QString &address);
};

} // namespace korvane
