#pragma once

#include "core/form_view.h"

#include <QList>
#include <QPair>
#include <QStringList>

namespace korvane::testing {

// The window as plain strings: what the logic wrote, and what it was told by the "user".
class FakeView : public FormView
{
public:
    QString domain;
    QString marker;
    QString result;
    QString linkCount = QStringLiteral("0");
    QString siteCount = QStringLiteral("0");
    QString status = QStringLiteral("暂无提示信息！");
    int pointer = 0;
    LinkLabels labels{};
    QList<QPair<QString, QString>> messages; // text, caption
    QStringList opened;
    QStringList misuse;   // calls no real window could carry out (a label outside 0..10)
    int resultWrites = 0; // how often the report box was set

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
            misuse.append(QStringLiteral("updateLinkLabel(%1) outside 0..%2").arg(index).arg(kLinkLabelCount - 1));
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

} // namespace korvane::testing
