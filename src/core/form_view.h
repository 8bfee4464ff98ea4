#pragma once

#include "link_label.h"

#include <QString>

namespace korvane {

// What the window's logic needs of the window. Form1 implements it with widgets; the
// command-line front-end and the tests implement it with plain strings.
//
// Every call happens on the user-interface thread. Text boxes are read and set whole.
class FormView
{
public:
    virtual ~FormView() = default;

    // Text1, the domain field: its current text, read afresh every time.
    virtual QString domainText() const = 0;

    // Text2, the hidden walk marker.
    virtual QString markerText() const = 0;
    virtual void setMarkerText(const QString &text) = 0;

    // TextResult, the report box.
    virtual QString resultText() const = 0;
    virtual void setResultText(const QString &text) = 0;

    // textLinkCount and textSiteCount, the two counters.
    virtual void setLinkCountText(const QString &text) = 0;
    virtual void setSiteCountText(const QString &text) = 0;

    // lbTip, the status line.
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;

    // The window's mouse pointer: 11 the hourglass, 0 the default.
    virtual void setMousePointer(int pointer) = 0;

    // Link label `index` (0..10) has changed; draw it as `label` says.
    virtual void updateLinkLabel(int index, const LinkLabel &label) = 0;

    // A modal message box with an OK button and no icon; returns when the user closed it.
    // The text is shown as plain text.
    virtual void showMessage(const QString &text, const QString &caption) = 0;

    // Opens an address in the user's default web browser.
    virtual void openExternal(const QString &address) = 0;
};

} // namespace korvane
