import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import QtTest 1.15

// The geometry check of the page walk (layoutcheck.h) on small fixtures:
// each fault it must find, and the layouts it must let pass, so that a walk
// without faults means the pages are right, not that the check saw nothing.
Item {
    id: root
    width: 600
    height: 400

    Component {
        id: overlappingButtons
        Item {
            width: 400; height: 100
            Button { x: 0; width: 150; text: "Measure" }
            Button { x: 100; width: 150; text: "Recall" }
        }
    }

    Component {
        id: buttonsInARow
        RowLayout {
            width: 400; height: 100
            Button { text: "Measure" }
            Button { text: "Recall" }
        }
    }

    Component {
        id: elidedLabel
        Item {
            width: 400; height: 100
            Label { width: 40; elide: Text.ElideRight; text: "A long text that does not fit" }
        }
    }

    Component {
        id: textWiderThanItsBox
        Item {
            width: 400; height: 100
            Label { width: 40; text: "A long text that does not fit" }
        }
    }

    Component {
        id: wrappedTextTallerThanItsBox
        Item {
            width: 400; height: 100
            Label { width: 100; height: 20; wrapMode: Text.WordWrap; text: "A long text that wraps to lines" }
        }
    }

    Component {
        id: buttonTooNarrowForItsText
        Item {
            width: 400; height: 100
            Button { width: 60; text: "A long button text" }
        }
    }

    // A control whose label neither elides nor wraps.
    Component {
        id: labelBeyondItsControl
        Item {
            width: 400; height: 100
            AbstractButton { width: 60; height: 30; contentItem: Text { text: "A long button text" } }
        }
    }

    Component {
        id: cutByAClippingPane
        Item {
            width: 400; height: 100
            Rectangle {
                width: 100; height: 50
                clip: true
                Button { y: 30; text: "Below" }
            }
        }
    }

    Component {
        id: beyondItsPage
        Page {
            width: 300; height: 100
            Button { y: 80; text: "Below the page" }
        }
    }

    // A column taller than its view, with the given scroll-bar policy.
    Component {
        id: scrollingColumn
        Flickable {
            property int barPolicy: ScrollBar.AsNeeded
            width: 300; height: 100
            clip: true
            contentHeight: column.implicitHeight
            ScrollBar.vertical: ScrollBar { policy: barPolicy }
            Column {
                id: column
                Repeater {
                    model: 6
                    Button { text: "Row " + index }
                }
            }
        }
    }

    Component {
        id: raisedOverlay
        Item {
            width: 400; height: 100
            Button { width: 150; text: "Under" }
            Label { z: 2; text: "Drawn over on purpose" }
        }
    }

    Component {
        id: russianTexts
        Column {
            property string value
            width: 400
            Label { text: "Тип развёртки" }
            Label { text: value }
        }
    }

    TestCase {
        name: "LayoutCheck"
        when: windowShown

        function faultsOf(component, properties) {
            var item = createTemporaryObject(component, root, properties || {})
            verify(item)
            waitForRendering(item)
            return harness.layoutFaults(item)
        }

        function test_faults_data() {
            return [
                { tag: "overlapping buttons", component: overlappingButtons, fault: "overlaps" },
                { tag: "an elided text", component: elidedLabel, fault: "elided" },
                { tag: "a text wider than its box", component: textWiderThanItsBox, fault: "wide in a box" },
                { tag: "a wrapped text taller than its box", component: wrappedTextTallerThanItsBox,
                  fault: "high in a box" },
                { tag: "a button too narrow for its text", component: buttonTooNarrowForItsText,
                  fault: "elided" },
                { tag: "a control's label beyond the control", component: labelBeyondItsControl,
                  fault: "runs out of its box" },
                { tag: "cut by a clipping pane", component: cutByAClippingPane, fault: "outside the area" },
                { tag: "beyond its page", component: beyondItsPage, fault: "outside the area" },
                { tag: "a scroll area whose bar shows only while it moves", component: scrollingColumn,
                  properties: { barPolicy: ScrollBar.AsNeeded }, fault: "outside the area" },
            ]
        }

        function test_faults(data) {
            var faults = faultsOf(data.component, data.properties)
            verify(faults.some(function(f) { return f.indexOf(data.fault) >= 0 }),
                   "expected \"" + data.fault + "\" among: " + faults.join(" | "))
        }

        function test_passes_data() {
            return [
                { tag: "buttons in a row", component: buttonsInARow },
                { tag: "a scroll area with its bar shown", component: scrollingColumn,
                  properties: { barPolicy: ScrollBar.AlwaysOn } },
                { tag: "an overlay raised over a control", component: raisedOverlay },
            ]
        }

        function test_passes(data) {
            var faults = faultsOf(data.component, data.properties)
            compare(faults.join(" | "), "")
        }

        // English left beside Russian texts, and what the glossary keeps.
        function test_englishLeft() {
            var mixed = createTemporaryObject(russianTexts, root, { value: "Linear freq" })
            var found = harness.englishLeft(mixed, [])
            compare(found.length, 1, found.join(" | "))
            verify(found[0].indexOf("Linear, freq") >= 0, found[0])
            var russian = createTemporaryObject(russianTexts, root, { value: "Линейная по частоте, 10 MHz, S11, DUT" })
            compare(harness.englishLeft(russian, []).join(" | "), "")
        }
    }
}
