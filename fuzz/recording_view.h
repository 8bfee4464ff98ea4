#pragma once

#include "core/form_view.h"
#include "core/link_label.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace korvane::fuzzing {

// The window as plain strings for the fuzz harnesses: keeps what the logic wrote, and notes
// every call that no real window could carry out (a link label outside 0..10).
class RecordingView : public FormView
{
public:
    QString domain = QStringLiteral("example.com");
    QString marker;
    QString result;
    QString linkCount;
    QString siteCount;
    QString status;
    int pointer = 0;
    LinkLabels labels{};
    QList<QPair<QString, QString>> messages; // text, caption
    QStringList opened;
    QStringList misuse;                      // calls that break the view's contract
    int resultWrites = 0;

    QString domainText() const override { return domain; }
    QString markerText() const override { return marker; }
    void setMarkerText(const QString &text) override { marker = text; }
    QString resultText() const override { return result; }
    void setResultText(const QString &text) override
    {
        result = text;
        ++resultWrites;
    }
    void setLinkCountText(const QString &text) override { linkCount = text; }
    void setSiteCountText(const QString &text) override { siteCount = text; }
    QString statusText() const override { return status; }
    void setStatusText(const QString &text) override { status = text; }
    void setMousePointer(int value) override { pointer = value; }
    void updateLinkLabel(int index, const LinkLabel &label) override
    {
        if (index < 0 || index >= kLinkLabelCount) {
            misuse.append(QStringLiteral("updateLinkLabel(%1) outside 0..%2")
                              .arg(index)
                              .arg(kLinkLabelCount - 1));
            return;
        }
        labels[size_t(index)] = label;
    }
    void showMessage(const QString &text, const QString &caption) override
    {
        messages.append({text, caption});
    }
    void openExternal(const QString &address) override { opened.append(address); }
};

} // namespace korvane::fuzzing
