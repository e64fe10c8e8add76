import QtQuick 2.15
import QtTest 1.15
import CoreMeasureEnums 1.0
import MeasureEnums 1.0
import "measurepagesupport.js" as Support

// A thru whose fixture models are doubtful, measured in the main window as
// a user does it, over a real backend and the simulated analyser: where the
// user sees the warning (the step page, the wizard's step indicator, the
// notification button and drawer, the Results page before Apply) and how
// it goes once the models are measured again without a doubt.
TestCase {
    id: testCase
    name: "ModelNotices"
    when: windowShown
    visible: true

    property var window: null
    readonly property var vna: backend.getVnaDevice()
    readonly property var setups: backend.getFixtureSetups()

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    function sim(line) {
        return harness.analyserExecute(line)
    }

    // A 1-20 GHz band-pass sweep; with a 0.1 pF pad at the analyser side of
    // each fixture the gated models are not passive at the top of the band,
    // without it they are.
    function showThru(pad) {
        sim("SIM:SCENe:CLEar")
        sim(pad ? "SIM:SCENe:THRU 1,2,50,2e-10,0.3,1e-13,0" : "SIM:SCENe:THRU 1,2,50,2e-10,0.3,0,0")
    }

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
        harness.setPortCount(4)
        tryVerify(function() { return vna.portsCount === 4 }, 10000)
        sim("SENSe1:SWEep:POINts 191")
        sim("SENSe1:FREQuency:STARt 1000000000")
        sim("SENSe1:FREQuency:STOP 20000000000")
    }

    function init() {
        setups.preset()
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        waitForRendering(window.contentItem)
    }

    function cleanup() {
        window = null
    }

    function measurePage() { return window.wizard.measurePage }
    function measureTab() { return Support.findVisible(measurePage(), "measureTab") }
    function inTab(name) { return Support.find(measureTab(), name) }
    function thruStep() { return setups.setups.get(0).stepModel.get(0) }

    // Measures the thru with the step view's button and waits until the
    // step is calculated and the window has heard of its notices.
    function measureThru() {
        window.wizard.stepIndex = 4
        tryVerify(function() { return measureTab() !== null && Support.findVisible(measureTab(), "thruMeasureButton") })
        mouseClick(Support.findVisible(measureTab(), "thruMeasureButton"))
        tryVerify(function() { return thruStep().thruMeasured === MeasureEnums.MeasureStatus.MEASURED }, 30000,
                  "the thru measured")
        tryCompare(measurePage(), "isMeasuring", false, 10000)
    }

    // The warning mark on the indicator of wizard step index.
    function indicatorMark(index) {
        var marks = Support.findAll(window.wizard.stepper, "stepWarning").filter(function(mark) {
            return mark.parent && mark.parent.stepIndex === index
        })
        return marks.length > 0 ? marks[0] : null
    }

    function warningEntries() {
        var list = []
        for (var i = 0; i < window.notifications.count; ++i) {
            if (window.notifications.get(i).type === "warning")
                list.push(window.notifications.get(i))
        }
        return list
    }

    function test_aDoubtfulThruIsShownWhereTheUserLooks() {
        showThru(true)
        compare(window.unreadNotices, 0)
        verify(!findChild(window.footer, "unreadNoticesMark").visible)
        measureThru()

        // The step: "Step is complete" stays, the warning stands beside it.
        tryVerify(function() { return thruStep().notices.length === 2 }, 10000, "two notices of the step")
        var status = inTab("stepStatus")
        tryCompare(status, "text", "Step is complete")
        compare(status.type, CoreMeasureEnums.RecommendedResult.Correct)
        var mark = inTab("stepNoticeMark")
        tryCompare(mark, "visible", true)
        compare(mark.type, CoreMeasureEnums.RecommendedResult.Warning)
        verify(mark.toolTip.description.indexOf(thruStep().notices[0].summary) >= 0, mark.toolTip.description)
        var count = inTab("stepNoticeText")
        verify(count.visible)
        compare(count.text, "The models carry warnings (2): see the notification panel")
        // Side by side, on one line.
        var markAt = mark.mapToItem(measurePage(), 0, 0)
        var statusAt = status.mapToItem(measurePage(), 0, 0)
        verify(markAt.x >= statusAt.x + status.width, "the mark follows the status text")
        verify(Math.abs(markAt.y + mark.height / 2 - statusAt.y - status.height / 2) < 10, "on the same line")

        // The wizard: the step's indicator carries the warning, not an error.
        compare(measurePage().hasError, CoreMeasureEnums.RecommendedResult.Warning)
        var indicator = indicatorMark(4)
        verify(indicator, "the measurement step's indicator mark")
        tryCompare(indicator, "visible", true)
        compare(indicator.type, CoreMeasureEnums.RecommendedResult.Warning)

        // The notification list: one warning per port, the first line first
        // and the detail below it, and the button says they are unread.
        tryVerify(function() { return warningEntries().length === 2 }, 10000, "two warning entries")
        var entries = warningEntries()
        verify(/^\d{1,2}:\d\d: /.test(entries[0].text), entries[0].text)
        verify(entries[1].text.indexOf(thruStep().notices[0].summary) > 0, entries[1].text)
        compare(entries[1].detail, thruStep().notices[0].detail)
        compare(window.unreadNotices, 2)
        var unread = findChild(window.footer, "unreadNoticesMark")
        verify(unread.visible)
        compare(findChild(window.footer, "unreadNoticesCount").text, "2")
        mouseClick(findChild(window.footer, "notificationsButton"))
        tryCompare(window.notificationDrawer, "opened", true, 5000)
        compare(window.unreadNotices, 0)
        verify(!unread.visible, "opening the drawer reads them")
        var list = findChild(window.notificationDrawer.contentItem, "notificationList")
        verify(list, "the notification list")
        // The entries are the list view's delegates (loaders of the entry
        // each type takes).
        var shown = []
        var detail = []
        for (var k = 0; k < list.contentItem.children.length; ++k) {
            var entry = list.contentItem.children[k].item
            if (!entry || !entry.visible)
                continue
            var first = findChild(entry, "summary")
            if (first) {
                shown.push(first)
                detail.push(findChild(entry, "detail"))
            }
        }
        compare(shown.length, 2)
        // The detail, when the notice has one, on lines of its own below.
        for (var d = 0; d < 2; ++d) {
            compare(detail[d].visible, detail[d].text.length > 0)
            if (detail[d].visible)
                verify(detail[d].mapToItem(shown[d].parent, 0, 0).y >= shown[d].y + shown[d].height,
                       "the detail below the first line")
        }
        verify(entries.every(function(e, i) { return e.detail === thruStep().notices[1 - i].detail }))
        mouseClick(findChild(window.footer, "notificationsButton"))
        tryCompare(window.notificationDrawer, "visible", false, 5000)

        // The Results page lists them before Apply.
        window.wizard.stepIndex = 5
        var results = window.wizard.resultsPage
        var panel = Support.find(results, "correctionNotices")
        tryCompare(panel, "visible", true)
        var noticeList = Support.find(results, "correctionNoticeList")
        var listed = []
        tryVerify(function() {
            listed = []
            for (var i = 0; i < noticeList.contentItem.children.length; ++i) {
                var item = noticeList.contentItem.children[i]
                if (item.objectName === "correctionNotice")
                    listed.push(item)
            }
            return listed.length === 2
        }, 5000, "two notices listed")
        var summaries = listed.map(function(item) { return findChild(item, "summary").text })
        compare(summaries.sort(), thruStep().notices.map(function(n) { return n.summary }).sort())
        listed.forEach(function(item) {
            var summary = findChild(item, "summary")
            var detail = findChild(item, "detail")
            var notice = thruStep().notices.filter(function(n) { return n.summary === summary.text })[0]
            compare(detail.text, notice.detail)
            compare(detail.visible, notice.detail.length > 0)
            if (detail.visible)
                verify(detail.y >= summary.y + summary.height, "the detail below the first line")
        })
        compare(Support.find(results, "correctionNoticesTitle").text,
                "Warnings of the fixture models Apply hands to the VNA software (2):")

        // Measured again without a doubt: every mark goes, the list too.
        showThru(false)
        measureThru()
        tryVerify(function() { return thruStep().notices.length === 0 }, 10000)
        tryCompare(window.wizard.measurePage, "hasError", undefined)
        tryCompare(indicator, "visible", false)
        window.wizard.stepIndex = 5
        tryCompare(panel, "visible", false)
        window.wizard.stepIndex = 4
        tryCompare(inTab("stepNoticeMark"), "visible", false)
        verify(!inTab("stepNoticeText").visible)
        compare(window.unreadNotices, 0, "nothing new to read")
    }

    // The list of the Results page follows the models the correction would
    // use: deleting the step's data takes their notices off it.
    function test_theResultsListFollowsTheModels() {
        showThru(true)
        measureThru()
        window.wizard.stepIndex = 5
        var panel = Support.find(window.wizard.resultsPage, "correctionNotices")
        tryCompare(panel, "visible", true)

        thruStep().deleteData()
        tryCompare(panel, "visible", false)
        compare(backend.correctionNotices().length, 0)
        compare(window.wizard.measurePage.hasError, undefined)
    }
}
