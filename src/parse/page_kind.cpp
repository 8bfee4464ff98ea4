#include "parse/page_kind.h"

#include "core/failure.h"
#include "parse/later_layout.h"

namespace korvane {

QueryPageKind ClassifyQueryPage(const Document &document, bool totalRead)
{
    if (totalRead)
        return QueryPageKind::Total;
    // Results first: an abstract may well quote the engine's "nothing found" words.
    if (IsLaterLayout(document) && !ReadLaterEntries(document).isEmpty())
        return QueryPageKind::ResultsWithoutTotal;
    if (IsNoResultsPage(document))
        return QueryPageKind::NoResults;
    return QueryPageKind::Unreadable;
}

bool IsNoResultsPage(const Document &document)
{
    const ElementList all = document.getElementsByTagName(QStringLiteral("*"));
    for (int i = 0; i < all.length(); ++i) {
        const Element e = all.item(i);
        if (e.hasClass(QLatin1StringView("nors")) || e.id() == QLatin1String("nors"))
            return true;
    }
    QString text;
    try {
        text = document.body().innerText();
    } catch (const Failure &) {
        return false; // no body, no text
    }
    return text.contains(QStringLiteral("没有找到与")) && text.contains(QStringLiteral("相关的"));
}

bool HasNextPageLink(const Document &document)
{
    const ElementList links = document.getElementsByTagName(QStringLiteral("A"));
    for (int i = 0; i < links.length(); ++i) {
        const Element link = links.item(i);
        if (link.hasClass(QLatin1StringView("n")) && link.innerText().contains(QStringLiteral("下一页")))
            return true;
    }
    return false;
}

} // namespace korvane
