import QtQuick 2.15
import QtTest 1.15

// The main window over a real backend and the simulated analyser, opened
// afresh for each test (tst_mainwindow*.qml): the analyser ready, a short
// sweep, the wizard shown.
TestCase {
    id: testCase
    when: windowShown
    visible: true

    property var window: null
    readonly property var vna: backend.getVnaDevice()

    // A main window of its own (the tests open a second one as well).
    readonly property Component mainComponent: Component {
        Loader { source: "qrc:/qml/main.qml" }
    }

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
    }

    function init() {
        harness.setAnalyserReady(true)
        verify(harness.startAnalyser())
        harness.setSweepTime(100)
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        verify(window)
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        waitForRendering(window.contentItem)
    }

    function cleanup() {
        settings.darkTheme = undefined
        window = null
    }

    function child(name) {
        var found = findChild(window.contentItem, name)
        if (!found && window.footer)
            found = findChild(window.footer, name)
        if (!found)
            found = findChild(window.notificationDrawer.contentItem, name)
        verify(found, "no item " + name)
        return found
    }

    function hasNotification(list, type, text) {
        for (var i = 0; i < list.count; ++i) {
            if (list.get(i).type === type && list.get(i).text.indexOf(text) >= 0)
                return true
        }
        return false
    }
}
