#pragma once
// The geometry of what a window shows, as a user sees it: every visible
// text fits the box it is laid out in, no control, text or drawing overlaps
// another, and nothing lies outside the area that shows it (its page, a
// clipping pane, the window) unless a scroll bar shows that the area
// scrolls and the item lies within what it scrolls to.

#include <QStringList>

#include <vector>

class QQuickItem;

namespace LayoutCheck {

// One line per fault found below area (area included), each naming the
// items concerned and their places in scene coordinates. With within (the
// window's content, for a popup), area must lie inside that item too.
QStringList faults(QQuickItem *area, QQuickItem *within = nullptr);

// The texts shown below area (area included), as a reader sees them (a rich
// text without its markup), each with the place of its item.
struct ShownText
{
    QString text;
    QString where;
    QString objectName;
};
std::vector<ShownText> shownTexts(QQuickItem *area);

} // namespace LayoutCheck
