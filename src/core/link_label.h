#pragma once

#include <QRect>
#include <QString>

#include <array>

namespace korvane {

// One of the link labels along the bottom of the window, as plain data. The window draws it;
// the notice reader fills it. Places are in twips (15 to a pixel) from the client area's
// top-left corner.
struct LinkLabel
{
    QString caption;
    QString toolTip;
    QString link;        // the address a click opens; never displayed
    bool visible = false;
    QRect placeTwips;    // left, top, width, height

    friend bool operator==(const LinkLabel &, const LinkLabel &) = default;
};

inline constexpr int kLinkLabelCount = 11; // element 0 is the template, 1..10 made at start
using LinkLabels = std::array<LinkLabel, kLinkLabelCount>;

// The template, element 0, as the window is designed.
inline LinkLabel templateLinkLabel()
{
    LinkLabel label;
    label.caption = QStringLiteral("lbLink(0)");
    label.visible = true;
    label.placeTwips = QRect(9960, 7080, 600, 255);
    return label;
}

} // namespace korvane
