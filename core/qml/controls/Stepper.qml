import QtQuick 2.15
import QtQuick.Templates 2.15 as T
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import "qrc:/core/qml/controls"

// A row (or column) of numbered circles joined by bars, one per
// StepperElement, with a caption under each. The components `indicator`,
// `content` and `separator` draw the parts; a loaded part receives its
// element in the property named by `elementRole` (a bar its neighbours in
// `previousRole` and `nextRole`) and, when it declares them, `stepIndex`,
// `current` and `hovered`.
Item {
    id: stepper

    default property alias elements: elementContainer.contentData

    property bool clickable: true
    property bool vertical: false
    readonly property int count: elementContainer.count
    property int currentIndex: 0
    readonly property Item currentElement: elementAt(currentIndex)

    property real indicatorWidth: 32
    property real indicatorHeight: 32
    property real indicatorHorizontalPadding: 8
    property real indicatorLeftPadding: indicatorHorizontalPadding
    property real indicatorRightPadding: indicatorHorizontalPadding
    property real indicatorVerticalPadding: 8
    property real indicatorTopPadding: indicatorVerticalPadding
    property real indicatorBottomPadding: indicatorVerticalPadding
    property real contentItemWidth: 100
    property real contentItemHeight: 20
    property real contentItemVerticalPadding: 8
    property real contentItemHorizontalPadding: 8
    property real separatorWidth: 10
    property real separatorHeight: 10

    property Component indicator: defaultIndicator
    property Component content: defaultContent
    property Component separator: defaultSeparator

    property string elementRole: "element"
    property string previousRole: "previous"
    property string nextRole: "next"

    readonly property alias container: elementContainer
    readonly property alias model: elementContainer.contentModel

    function elementAt(i) {
        return i >= 0 && i < count ? elementContainer.itemAt(i) : null
    }

    function _bind(item, name, getter) {
        if (item && name !== "" && name in item)
            item[name] = Qt.binding(getter)
    }

    implicitWidth: vertical ? indicatorLeftPadding + indicatorWidth + indicatorRightPadding
                              + contentItemWidth + contentItemHorizontalPadding
                            : count * (contentItemWidth + 2 * contentItemHorizontalPadding)
    implicitHeight: vertical ? count * (indicatorTopPadding + indicatorHeight + indicatorBottomPadding
                                        + separatorHeight / 2)
                             : indicatorTopPadding + indicatorHeight + indicatorBottomPadding
                               + contentItemHeight + 2 * contentItemVerticalPadding

    // The length of the stretch each step occupies along the stepper.
    readonly property real _slice: count > 0 ? (vertical ? height : width) / count : 0

    T.Container {
        id: elementContainer
        visible: false
        width: 0
        height: 0
    }

    Repeater {
        id: separators
        model: Math.max(0, stepper.count - 1)

        delegate: Loader {
            id: bar
            objectName: "separator" + index
            readonly property Item previous: stepper.elementAt(index)
            readonly property Item next: stepper.elementAt(index + 1)

            x: stepper.vertical ? stepper.indicatorLeftPadding + stepper.indicatorWidth / 2 - stepper.separatorWidth / 2
                                : stepper._slice / 2 + stepper.indicatorWidth / 2 + stepper.indicatorLeftPadding
                                  + index * stepper._slice
            y: stepper.vertical ? stepper._slice / 2 + stepper.indicatorHeight / 2 + stepper.indicatorTopPadding
                                  + index * stepper._slice
                                : stepper.indicatorTopPadding + stepper.indicatorHeight / 2 - stepper.separatorHeight / 2
            width: stepper.vertical ? stepper.separatorWidth
                                    : Math.max(0, stepper._slice - stepper.indicatorWidth
                                               - stepper.indicatorLeftPadding - stepper.indicatorRightPadding)
            height: stepper.vertical ? Math.max(0, stepper._slice - stepper.indicatorHeight
                                                - stepper.indicatorTopPadding - stepper.indicatorBottomPadding)
                                     : stepper.separatorHeight

            sourceComponent: stepper.separator
            onLoaded: {
                stepper._bind(item, stepper.previousRole, function() { return bar.previous })
                stepper._bind(item, stepper.nextRole, function() { return bar.next })
            }
        }
    }

    Repeater {
        id: steps
        model: stepper.count

        delegate: Item {
            id: step
            objectName: "step" + index

            readonly property int stepIndex: index
            readonly property Item element: stepper.elementAt(index)
            readonly property bool current: index === stepper.currentIndex
            readonly property bool hovered: area.containsMouse
            readonly property alias indicatorItem: indicatorLoader.item
            readonly property alias contentItem: contentLoader.item

            x: stepper.vertical ? 0 : index * stepper._slice
            y: stepper.vertical ? index * stepper._slice : 0
            width: stepper.vertical ? stepper.width : stepper._slice
            height: stepper.vertical ? stepper._slice : stepper.height

            function bindPart(item) {
                stepper._bind(item, stepper.elementRole, function() { return step.element })
                stepper._bind(item, "stepIndex", function() { return step.stepIndex })
                stepper._bind(item, "current", function() { return step.current })
                stepper._bind(item, "hovered", function() { return step.hovered })
            }

            Loader {
                id: indicatorLoader
                x: stepper.vertical ? stepper.indicatorLeftPadding : (parent.width - width) / 2
                y: stepper.vertical ? (parent.height - height) / 2 : stepper.indicatorTopPadding
                width: stepper.indicatorWidth
                height: stepper.indicatorHeight
                sourceComponent: stepper.indicator
                onLoaded: step.bindPart(item)
            }

            Loader {
                id: contentLoader
                x: stepper.vertical ? stepper.indicatorLeftPadding + stepper.indicatorWidth + stepper.indicatorRightPadding
                                    : stepper.contentItemHorizontalPadding
                y: stepper.vertical ? indicatorLoader.y + (stepper.indicatorHeight - height) / 2
                                    : stepper.indicatorTopPadding + stepper.indicatorHeight + stepper.indicatorBottomPadding
                width: stepper.vertical ? Math.max(0, parent.width - x - stepper.contentItemHorizontalPadding)
                                        : Math.max(0, parent.width - 2 * stepper.contentItemHorizontalPadding)
                // At least the caption's lines: a long name wraps.
                height: Math.max(stepper.contentItemHeight, item ? item.implicitHeight : 0)
                sourceComponent: stepper.content
                onLoaded: step.bindPart(item)
            }

            MouseArea {
                id: area
                anchors.fill: parent
                hoverEnabled: true
                enabled: stepper.clickable
                onClicked: stepper.currentIndex = index
            }
        }
    }

    Component {
        id: defaultIndicator

        Rectangle {
            id: circle

            property Item element: null
            property int stepIndex: 0
            property bool current: false
            property bool hovered: false
            readonly property bool done: element !== null && element.done

            radius: width / 2
            color: current ? Material.accentColor : done ? Material.primaryColor : Material.dividerColor
            scale: current ? 1.3 : hovered ? 1.1 : 1.0

            Label {
                anchors.centerIn: parent
                text: circle.stepIndex + 1
                font.pixelSize: 16
                color: circle.current || circle.done ? circle.Material.backgroundColor : circle.Material.foreground
            }

            VukWarning {
                objectName: "stepWarning"
                x: 25
                y: -6
                width: 15
                height: 15
                enableHover: false
                type: circle.element !== null ? circle.element.hasError : undefined
                visible: circle.element !== null && circle.element.hasError !== undefined
            }
        }
    }

    Component {
        id: defaultContent

        Label {
            property Item element: null
            property bool current: false
            property bool hovered: false

            text: element !== null ? element.text : ""
            font.pixelSize: 16
            horizontalAlignment: stepper.vertical ? Text.AlignLeft : Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: current || hovered ? Material.primaryTextColor : Material.secondaryTextColor
        }
    }

    Component {
        id: defaultSeparator

        Rectangle {
            property Item previous: null
            property Item next: null
            // Done when every neighbouring step is.
            readonly property bool done: (previous !== null || next !== null)
                                         && (previous === null || previous.done)
                                         && (next === null || next.done)

            radius: Math.min(width, height) / 2
            color: done ? Material.primaryColor : Material.dividerColor
        }
    }
}
