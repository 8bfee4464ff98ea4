#pragma once

#include <QString>

#include <optional>

namespace korvane {

// The domain field's placeholder, shown until the user first presses the mouse in the field.
inline QString domainPlaceholder() { return QStringLiteral("www.名称.com"); }

struct PlaceholderEdit
{
    QString text;
    int cursor;
};

// A mouse press in the domain field: when the field holds exactly the placeholder, it becomes
// "www..com" with the insertion point between the two dots. Any other text is left alone.
inline std::optional<PlaceholderEdit> OnDomainFieldMouseDown(const QString &text)
{
    if (text != domainPlaceholder())
        return std::nullopt;
    return PlaceholderEdit{QStringLiteral("www..com"), 4};
}

} // namespace korvane
