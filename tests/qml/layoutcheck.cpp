#include "layoutcheck.h"

#include <QMetaObject>
#include <QQuickItem>
#include <QRectF>
#include <QSet>
#include <QVariant>

#include <cmath>
#include <initializer_list>
#include <vector>

namespace {

// Half a pixel either way is rounding of fractional scales; one pixel of
// touching is not an overlap.
constexpr qreal tolerance = 1.0;

bool inheritsAny(const QObject *object, std::initializer_list<const char *> classNames)
{
    for (const char *name : classNames) {
        if (object->inherits(name))
            return true;
    }
    return false;
}

// A type written in QML: its meta-object's class name is the file name
// followed by "_QMLTYPE_" and a number, for the type itself or a base.
bool isQmlType(const QObject *object, std::initializer_list<const char *> typeNames)
{
    for (const QMetaObject *meta = object->metaObject(); meta; meta = meta->superClass()) {
        const QByteArray className(meta->className());
        for (const char *name : typeNames) {
            if (className.startsWith(QByteArray(name) + "_QML"))
                return true;
        }
    }
    return false;
}

QString typeName(const QObject *object)
{
    QString name = QString::fromLatin1(object->metaObject()->className());
    const int suffix = name.indexOf(QLatin1String("_QML"));
    if (suffix > 0)
        name.truncate(suffix);
    if (name.startsWith(QLatin1String("QQuick")))
        name = name.mid(6);
    return name;
}

QString rectText(const QRectF &rect)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(std::round(rect.x()))
        .arg(std::round(rect.y()))
        .arg(std::round(rect.width()))
        .arg(std::round(rect.height()));
}

QQuickItem *itemProperty(const QObject *object, const char *name)
{
    return qvariant_cast<QQuickItem *>(object->property(name));
}

QRectF sceneRect(const QQuickItem *item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// The type, the object name, the text and the place of an item, and the
// nearest named item around it, so that a fault can be found on the page.
QString describe(const QQuickItem *item)
{
    QString text = typeName(item);
    if (!item->objectName().isEmpty())
        text += QStringLiteral(" ") + item->objectName();
    const QVariant shown = item->property("text");
    if (shown.userType() == QMetaType::QString && !shown.toString().isEmpty()) {
        QString words = shown.toString().simplified();
        if (words.size() > 50)
            words = words.left(47) + QStringLiteral("...");
        text += QStringLiteral(" \"") + words + QLatin1Char('"');
    }
    for (const QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
        if (!up->objectName().isEmpty()) {
            text += QStringLiteral(" in ") + up->objectName();
            break;
        }
    }
    return text + QStringLiteral(" at ") + rectText(sceneRect(item));
}

enum class Kind {
    Container, // laid out around others: walked into
    Text, // a text of its own
    Control, // an input or button, with its own texts inside
    Drawing, // a picture, mark or plot (its axes and markers drawn over it)
    Skipped, // drawn over the content by design (scroll indicators)
};

Kind kindOf(const QQuickItem *item)
{
    if (inheritsAny(item, {"QQuickScrollIndicator", "QQuickOverlay"}))
        return Kind::Skipped;
    // TextField and TextArea are text items as well as controls: their
    // text is what matters.
    if (inheritsAny(item, {"QQuickText", "QQuickTextInput", "QQuickTextEdit"}))
        return Kind::Text;
    if (inheritsAny(item,
                    {"QQuickAbstractButton", "QQuickComboBox", "QQuickSpinBox", "QQuickSlider", "QQuickRangeSlider",
                     "QQuickBusyIndicator", "QQuickProgressBar", "QQuickDial", "QQuickTumbler", "QQuickScrollBar"}))
        return Kind::Control;
    if (inheritsAny(item, {"QQuickImage", "QQuickShape", "QQuickCanvasItem", "Chart"})
        || isQmlType(item, {"VukFixture", "VukDUT", "Dut", "Port", "VukWarning", "ColorImage", "Plotter"}))
        return Kind::Drawing;
    return Kind::Container;
}

bool isBackgroundOfParent(const QQuickItem *item)
{
    const QQuickItem *parent = item->parentItem();
    return parent && itemProperty(parent, "background") == item;
}

bool scrollBarShown(const QQuickItem *flickable, Qt::Orientation orientation)
{
    // A Flickable's attached bars are its children; a ScrollView's are the
    // view's, around the Flickable it scrolls.
    std::vector<const QQuickItem *> owners{flickable};
    if (flickable->parentItem() && flickable->parentItem()->inherits("QQuickScrollView"))
        owners.push_back(flickable->parentItem());
    for (const QQuickItem *owner : owners) {
        for (const QQuickItem *child : owner->childItems()) {
            if (!child->inherits("QQuickScrollBar") || child->property("orientation").toInt() != orientation)
                continue;
            // Shown at rest: a bar that only appears while it moves is no
            // sign that the area scrolls.
            const bool alwaysOn = child->property("policy").toInt() == Qt::ScrollBarAlwaysOn;
            if (child->isVisible() && child->opacity() > 0 && child->property("size").toReal() < 1
                && (alwaysOn || child->property("active").toBool()))
                return true;
        }
    }
    return false;
}

struct Leaf
{
    const QQuickItem *item;
    QRectF extent; // the item and the painted texts inside it, in the scene
    QRectF clip; // what of the scene its clipping items let through
    // The nearest item around it (or itself) raised or lowered from its
    // siblings: one drawn over others on purpose (a table's fixed header,
    // a floating progress view).
    const QQuickItem *layer;
};

class Walker
{
public:
    QStringList faults;

    void walk(const QQuickItem *item, QRectF region, QRectF clip, const QQuickItem *layer = nullptr)
    {
        if (!item->isVisible() || item->opacity() <= 0 || hidden.contains(item) || isBackgroundOfParent(item))
            return;
        const Kind kind = kindOf(item);
        if (kind == Kind::Skipped)
            return;
        const QRectF rect = sceneRect(item);
        if (item->z() != 0)
            layer = item;

        if (kind != Kind::Container) {
            Leaf leaf{item, rect, clip, layer};
            if (kind == Kind::Text) {
                if (!textOf(item).isEmpty())
                    leaf.extent = checkText(item);
                else if (!item->inherits("QQuickTextInput"))
                    return; // an empty label shows nothing (an empty field still shows its box)
            }
            if (kind == Kind::Control && item->inherits("QQuickScrollBar") && !item->property("active").toBool()
                && item->property("policy").toInt() != Qt::ScrollBarAlwaysOn)
                return; // a bar hidden at rest
            for (const QQuickItem *child : item->childItems())
                walkInside(child, leaf);
            if (!contains(region, leaf.extent))
                faults << describe(item) + QStringLiteral(": outside the area that shows it (") + rectText(region)
                              + QLatin1Char(')');
            leaves.push_back(leaf);
            return;
        }

        // Only the page a swipe view shows.
        if (item->inherits("QQuickSwipeView")) {
            const QQuickItem *current = itemProperty(item, "currentItem");
            const int count = item->property("count").toInt();
            for (int i = 0; i < count; ++i) {
                QQuickItem *page = nullptr;
                QMetaObject::invokeMethod(const_cast<QQuickItem *>(item), "itemAt", Q_RETURN_ARG(QQuickItem *, page),
                                          Q_ARG(int, i));
                if (page && page != current)
                    hidden.insert(page);
            }
        }

        if (item->clip()) {
            clip = clip.intersected(rect);
            region = region.intersected(rect);
        }
        // A page holds what it lays out.
        if (item->inherits("QQuickPage"))
            region = region.intersected(rect);
        if (item->inherits("QQuickFlickable"))
            region = scrolledRegion(item, rect, region);

        for (const QQuickItem *child : item->childItems())
            walk(child, region, clip, layer);
    }

    // Pairs of leaves whose visible parts overlap: within one layer, and a
    // scroll bar against everything.
    void checkOverlaps()
    {
        for (size_t i = 0; i < leaves.size(); ++i) {
            const QRectF a = leaves[i].extent.intersected(leaves[i].clip);
            const bool bar = leaves[i].item->inherits("QQuickScrollBar");
            for (size_t j = i + 1; j < leaves.size(); ++j) {
                if (leaves[i].layer != leaves[j].layer && !bar && !leaves[j].item->inherits("QQuickScrollBar"))
                    continue;
                const QRectF both = a.intersected(leaves[j].extent.intersected(leaves[j].clip));
                if (both.width() > tolerance && both.height() > tolerance)
                    faults << describe(leaves[i].item) + QStringLiteral(" overlaps ") + describe(leaves[j].item)
                                  + QStringLiteral(" by ") + rectText(both);
            }
        }
    }

private:
    std::vector<Leaf> leaves;
    QSet<const QQuickItem *> hidden;

    static bool contains(const QRectF &outer, const QRectF &inner)
    {
        return inner.left() >= outer.left() - tolerance && inner.right() <= outer.right() + tolerance
               && inner.top() >= outer.top() - tolerance && inner.bottom() <= outer.bottom() + tolerance;
    }

    static QString textOf(const QQuickItem *item)
    {
        const QVariant shown = item->property(item->inherits("QQuickTextInput") ? "displayText" : "text");
        return shown.toString();
    }

    // Inside a flickable, what it shows: its view; in a direction in which
    // it shows a scroll bar, what it scrolls through.
    QRectF scrolledRegion(const QQuickItem *flickable, const QRectF &view, QRectF region)
    {
        const QRectF outer = region;
        region = region.intersected(view);
        const QQuickItem *content = itemProperty(flickable, "contentItem");
        if (!content)
            return region;
        const QRectF contentRect = content->mapRectToScene(
            QRectF(flickable->property("originX").toReal(), flickable->property("originY").toReal(),
                   flickable->property("contentWidth").toReal(), flickable->property("contentHeight").toReal()));
        const bool scrollsDown = contentRect.height() > view.height() + tolerance;
        const bool scrollsAcross = contentRect.width() > view.width() + tolerance;
        if (scrollsDown && scrollBarShown(flickable, Qt::Vertical)) {
            if (view.top() < outer.top() - tolerance || view.bottom() > outer.bottom() + tolerance)
                faults << describe(flickable) + QStringLiteral(": its view is cut (") + rectText(outer)
                              + QLatin1Char(')');
            else {
                region.setTop(contentRect.top());
                region.setBottom(contentRect.bottom());
            }
        }
        if (scrollsAcross && scrollBarShown(flickable, Qt::Horizontal)) {
            if (view.left() < outer.left() - tolerance || view.right() > outer.right() + tolerance)
                faults << describe(flickable) + QStringLiteral(": its view is cut (") + rectText(outer)
                              + QLatin1Char(')');
            else {
                region.setLeft(contentRect.left());
                region.setRight(contentRect.right());
            }
        }
        return region;
    }

    // Within a control or drawing: its texts fit their boxes and stay
    // within it across, and widen what it covers.
    void walkInside(const QQuickItem *item, Leaf &leaf)
    {
        if (!item->isVisible() || item->opacity() <= 0)
            return;
        if (kindOf(item) == Kind::Text && !textOf(item).isEmpty()) {
            // A control's label may be laid out smaller than its text (a
            // button's content area less its paddings) and may sit on its
            // frame (a combo box's caption): it fails only when it runs out
            // of both its box and its control.
            const QRectF box = sceneRect(item);
            const QRectF owner = sceneRect(leaf.item);
            const QRectF painted = paintedText(item);
            if (item->property("truncated").toBool())
                faults << describe(item) + QStringLiteral(": elided or cut to fewer lines");
            const bool acrossOut =
                (painted.left() < box.left() - tolerance || painted.right() > box.right() + tolerance)
                && (painted.left() < owner.left() - tolerance || painted.right() > owner.right() + tolerance);
            const bool downOut =
                (painted.top() < box.top() - tolerance || painted.bottom() > box.bottom() + tolerance)
                && (painted.top() < owner.top() - tolerance || painted.bottom() > owner.bottom() + tolerance);
            if (acrossOut || downOut)
                faults << describe(item) + QStringLiteral(": its text (") + rectText(painted)
                              + QStringLiteral(") runs out of its box and of ") + describe(leaf.item);
            leaf.extent = leaf.extent.united(painted);
        }
        for (const QQuickItem *child : item->childItems())
            walkInside(child, leaf);
    }

    // Where a text is painted, in the scene: its content size placed in
    // its box (less its paddings) by its alignment.
    static QRectF paintedText(const QQuickItem *item)
    {
        const qreal left = item->property("leftPadding").toReal();
        const qreal top = item->property("topPadding").toReal();
        const qreal width = item->width() - left - item->property("rightPadding").toReal();
        const qreal height = item->height() - top - item->property("bottomPadding").toReal();
        const qreal textWidth = item->property("contentWidth").toReal();
        const qreal textHeight = item->property("contentHeight").toReal();
        const int horizontal = item->property("effectiveHorizontalAlignment").toInt();
        const int vertical = item->property("verticalAlignment").toInt();
        qreal x = left;
        if (horizontal & Qt::AlignRight)
            x += width - textWidth;
        else if (horizontal & Qt::AlignHCenter)
            x += (width - textWidth) / 2;
        qreal y = top;
        if (vertical & Qt::AlignBottom)
            y += height - textHeight;
        else if (vertical & Qt::AlignVCenter)
            y += (height - textHeight) / 2;
        return item->mapRectToScene(QRectF(x, y, textWidth, textHeight));
    }

    // A text's painted width and height against its box (less its
    // paddings); answers where the text is painted.
    QRectF checkText(const QQuickItem *item)
    {
        const qreal width =
            item->width() - item->property("leftPadding").toReal() - item->property("rightPadding").toReal();
        const qreal height =
            item->height() - item->property("topPadding").toReal() - item->property("bottomPadding").toReal();
        const qreal textWidth = item->property("contentWidth").toReal();
        const qreal textHeight = item->property("contentHeight").toReal();

        if (item->property("truncated").toBool())
            faults << describe(item) + QStringLiteral(": elided or cut to fewer lines");
        if (textWidth > width + tolerance)
            faults << describe(item)
                          + QStringLiteral(": its text is %1 wide in a box of %2")
                                .arg(std::round(textWidth))
                                .arg(std::round(width));
        // A text area scrolls; a field or a label shows all its lines.
        if (!item->inherits("QQuickTextEdit") && textHeight > height + tolerance)
            faults << describe(item)
                          + QStringLiteral(": its text is %1 high in a box of %2")
                                .arg(std::round(textHeight))
                                .arg(std::round(height));
        return paintedText(item);
    }
};

void collectTexts(const QQuickItem *item, std::vector<LayoutCheck::ShownText> &texts, QSet<const QQuickItem *> &hidden)
{
    if (!item->isVisible() || item->opacity() <= 0 || hidden.contains(item) || kindOf(item) == Kind::Skipped)
        return;
    if (item->inherits("QQuickSwipeView")) {
        const QQuickItem *current = itemProperty(item, "currentItem");
        const int count = item->property("count").toInt();
        for (int i = 0; i < count; ++i) {
            QQuickItem *page = nullptr;
            QMetaObject::invokeMethod(const_cast<QQuickItem *>(item), "itemAt", Q_RETURN_ARG(QQuickItem *, page),
                                      Q_ARG(int, i));
            if (page && page != current)
                hidden.insert(page);
        }
    }
    if (kindOf(item) == Kind::Text) {
        QString text;
        if (item->inherits("QQuickTextEdit")) {
            // The text without its markup.
            const int length = item->property("length").toInt();
            QMetaObject::invokeMethod(const_cast<QQuickItem *>(item), "getText", Q_RETURN_ARG(QString, text),
                                      Q_ARG(int, 0), Q_ARG(int, length));
        } else {
            text = item->property(item->inherits("QQuickTextInput") ? "displayText" : "text").toString();
        }
        if (!text.trimmed().isEmpty())
            texts.push_back({text, describe(item), item->objectName()});
    }
    for (const QQuickItem *child : item->childItems())
        collectTexts(child, texts, hidden);
}

} // namespace

namespace LayoutCheck {

std::vector<ShownText> shownTexts(QQuickItem *area)
{
    std::vector<ShownText> texts;
    QSet<const QQuickItem *> hidden;
    if (area)
        collectTexts(area, texts, hidden);
    return texts;
}

QStringList faults(QQuickItem *area, QQuickItem *within)
{
    if (!area)
        return {QStringLiteral("no item to check")};
    Walker walker;
    QRectF rect = sceneRect(area);
    if (within)
        rect = rect.intersected(sceneRect(within));
    walker.walk(area, rect, rect);
    walker.checkOverlaps();
    return walker.faults;
}

} // namespace LayoutCheck
