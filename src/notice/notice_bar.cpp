#include "notice_bar.h"

#include "core/failure.h"
#include "core/numbers.h"
#include "core/texts.h"

namespace korvane {

void PrepareLinkLabels(LinkLabels &labels, FormView &view)
{
    for (int i = 1; i < kLinkLabelCount; ++i) {
        labels[i] = labels[0];
        labels[i].visible = false;
        view.updateLinkLabel(i, labels[i]);
    }
}

static void readNoticeChildren(const Document &document, LinkLabels &labels, FormView &view)
{
    qint32 left = 0;
    // The document does not change while it is read, so its children are listed once.
    const ElementList children = document.body().children();
    const qint16 last = toInt16(qint64(children.length()) - 1);
    for (qint32 i = 0; i <= last; ++i) {
        const Element child = children.item(i);
        if (child.tagName() == QLatin1String("A")) {
            const QString text = child.innerText();
            const QString link = child.href();
            const qint32 width = toInt32(qint64(200) * text.size());
            if (i >= kLinkLabelCount)
                fail(FailureCode::IndexOutOfRange, QStringLiteral("no link label %1").arg(i));
            LinkLabel &label = labels[i];
            label.visible = true;
            label.caption = text;
            label.link = link;
            label.toolTip = child.title();
            label.placeTwips = QRect(checkedAdd32(left, 240), 7200, width, 250);
            view.updateLinkLabel(i, label);
            left = checkedAdd32(checkedAdd32(left, width), 100);
        } else if (child.id() == QLatin1String("VersionDesc")) {
            const QString value = child.value();
            if (value != QLatin1String("0"))
                view.showMessage(value, texts::applicationTitle());
        }
    }
}

void ReadNoticePage(const Document &document, LinkLabels &labels, FormView &view)
{
    try {
        readNoticeChildren(document, labels, view);
    } catch (const Failure &) {
        // The notice bar is a courtesy: whatever could be read stays, the rest is dropped.
    }
}

} // namespace korvane
