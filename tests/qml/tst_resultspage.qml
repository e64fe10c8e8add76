import QtQuick 2.15
import QtTest 1.15
import MeasureEnums 1.0
import "qrc:/qml"
import "qrc:/qml/filepaths.js" as FilePaths
import "measurepagesupport.js" as Support

// The Results page over a real backend: its texts, the paths it hands to
// the backend's writers, and the actions' outcomes as files and as the
// backend's messages.
TestCase {
    id: testCase
    name: "ResultsPage"
    when: windowShown
    visible: true
    width: 1000
    height: 700

    Component {
        id: pageComponent
        SaveCorrectionPage {
            width: testCase.width
            height: testCase.height
        }
    }

    SignalSpy { id: messages; target: backend; signalName: "message" }
    SignalSpy { id: errors; target: backend; signalName: "error" }

    readonly property var vna: backend.getVnaDevice()

    function createPage() {
        var page = createTemporaryObject(pageComponent, testCase)
        waitForRendering(page)
        return page
    }

    function firstStep() {
        return backend.getFixtureSetups().setups.get(0).stepModel.get(0)
    }

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
        tryCompare(vna, "isReady", true, 10000)
    }

    function init() {
        messages.clear()
        errors.clear()
    }

    function findAll(item, objectName, found) {
        found = found || []
        if (item.objectName === objectName)
            found.push(item)
        for (var i = 0; i < item.children.length; ++i)
            findAll(item.children[i], objectName, found)
        return found
    }

    function texts(items) {
        return items.map(function(item) { return item.text })
    }

    function test_pageShowsTheFourActionsWithTheirTitles() {
        var page = createPage()
        compare(page.name, "Results")
        compare(page.description, "Apply and save measurement and calculation results")
        compare(page.icon, "qrc:/resources/icons/save_result.png")
        verify(page.full_description.indexOf("Step 6. Results") >= 0)

        var buttons = ["applyButton", "saveCorrectionButton", "saveSetupButton", "saveRawDataButton"]
                .map(function(name) { return findChild(page, name) })
        compare(texts(buttons), ["Apply", "Save correction files...", "Save setup...", "Save raw data"])
        buttons.forEach(function(button) {
            compare(button.width, 185)
            compare(button.height, 32)
            compare(button.font.bold, false)
            compare(button.font.capitalization, Font.MixedCase)
        })
        compare(findChild(page, "buttonPane").width, 200)

        compare(texts(findAll(page, "title")),
                ["Apply results", "Save correction files (.sNp)", "Save setup", "Save raw data"])
        compare(texts(findAll(page, "explanation")),
                ["To transmit the calculated data to the VNA software \n and apply them for de-embedding",
                 "For future use if desired",
                 "To save the current Vukelan settings \n VUK & VNA configuration files",
                 "To save the raw data"])
        findAll(page, "title").forEach(function(label) { verify(label.font.bold) })
        // Each explanation stands beside its button.
        var explanations = findAll(page, "explanation")
        for (var i = 0; i < 4; ++i) {
            var button = buttons[i].mapToItem(page, 0, buttons[i].height / 2)
            var text = explanations[i].mapToItem(page, 0, 0)
            verify(Math.abs(text.y - button.y) < 40, "row " + i + ": " + text.y + " vs " + button.y)
            verify(text.x > button.x + 185)
        }
    }

    function test_dialogsAskWithTheirTitlesAndFilters() {
        var page = createPage()
        compare(page.touchstoneDialog.title, "Save Files")
        compare(page.touchstoneDialog.selectExisting, false)
        compare(page.stateDialog.title, "Save State File")
        compare(page.stateDialog.nameFilters, ["State files (*.sta)"])
        compare(page.stateDialog.selectExisting, false)
    }

    // Each filter lists the files its writer produces, and no other kind.
    function test_dialogFiltersListTheFilesTheyName_data() {
        return [
            { tag: "correction", filters: "correctionFilters", names: ["corr1.s2p", "corr12.s2p"],
              others: ["setup.sta", "corr1.s2p.bak"] },
            { tag: "raw data", filters: "rawDataFilters",
              names: ["run_Transmission_Step1.s4p", "run_OpenRawData_Step2.s1p", "run_DutRawData_Step3.s2p",
                      "run_ShortRawData_Step1.s12p"],
              others: ["setup.sta", "run.txt"] },
            { tag: "state", filters: "stateDialog", names: ["bench.sta"], others: ["corr1.s2p"] },
        ]
    }

    function test_dialogFiltersListTheFilesTheyName(data) {
        var page = createPage()
        var filters = data.filters === "stateDialog" ? page.stateDialog.nameFilters : page[data.filters]
        compare(filters.length, 1)
        data.names.forEach(function(name) { verify(Support.filterLists(filters[0], name), filters[0] + " misses " + name) })
        data.others.forEach(function(name) { verify(!Support.filterLists(filters[0], name), filters[0] + " lists " + name) })
    }

    // The dialog answers URLs; the backend takes local paths, and the
    // Touchstone writers a base path they number from.
    function test_dialogUrlsBecomeLocalPaths_data() {
        return [
            { tag: "windows drive", url: "file:///C:/data/corr.s2p", path: "C:/data/corr.s2p", base: "C:/data/corr" },
            { tag: "posix path", url: "file:///home/user/corr.s2p", path: "/home/user/corr.s2p", base: "/home/user/corr" },
            { tag: "network share", url: "file://server/share/corr.s2p", path: "//server/share/corr.s2p",
              base: "//server/share/corr" },
            { tag: "escaped blanks", url: "file:///C:/My%20Data/corr%201.s2p", path: "C:/My Data/corr 1.s2p",
              base: "C:/My Data/corr 1" },
            { tag: "no extension", url: "file:///C:/data/corr", path: "C:/data/corr", base: "C:/data/corr" },
            { tag: "upper-case extension", url: "file:///C:/data/corr.S2P", path: "C:/data/corr.S2P", base: "C:/data/corr" },
            // Only the file's own extension goes, not a ".s2p" inside a folder name.
            { tag: "extension in a folder", url: "file:///C:/a.s2p.d/corr.s2p", path: "C:/a.s2p.d/corr.s2p",
              base: "C:/a.s2p.d/corr" },
            { tag: "state file keeps its extension", url: "file:///C:/setups/bench.sta", path: "C:/setups/bench.sta",
              base: "C:/setups/bench.sta" },
            { tag: "bad escape kept", url: "file:///C:/data/100%.s2p", path: "C:/data/100%.s2p", base: "C:/data/100%" },
        ]
    }

    function test_dialogUrlsBecomeLocalPaths(data) {
        compare(FilePaths.localPath(data.url), data.path)
        compare(FilePaths.touchstoneBasePath(data.url), data.base)
    }

    function test_savingSetupWritesTheChosenStateFile() {
        var page = createPage()
        var path = harness.tempPath("bench setup.sta")
        page.saveSetup(harness.fileUrl(path))
        compare(errors.count, 0, errors.count ? errors.signalArguments[0][0] : "")
        compare(messages.count, 1)
        compare(messages.signalArguments[0][0], "Save setup was performed: " + path)
        verify(harness.fileExists(path))
    }

    function test_withoutMeasurementsApplyAndSaveReportAnError() {
        firstStep().deleteData()
        tryCompare(firstStep(), "thruMeasured", MeasureEnums.MeasureStatus.NONE, 5000)
        var page = createPage()
        mouseClick(findChild(page, "applyButton"))
        compare(errors.count, 1, messages.count ? messages.signalArguments[0][0] : "none")
        compare(messages.count, 0)

        var base = harness.tempPath("nothing")
        page.saveTouchstone(page.correctionFiles, harness.fileUrl(base + ".s2p"))
        compare(errors.count, 2)
        verify(!harness.fileExists(base + "1.s2p"))
    }

    // A measured thru between analyser ports 1 and 2 gives one correction
    // file per fixture port, numbered after its analyser port.
    function test_measuredFixturesAreSavedAndApplied() {
        var step = firstStep()
        compare(step.measureType, MeasureEnums.MeasureType.TRANSMISSION)
        step.measureFromVna()
        tryCompare(step, "thruMeasured", MeasureEnums.MeasureStatus.MEASURED, 30000)
        messages.clear()
        errors.clear()

        var page = createPage()
        var base = harness.tempPath("corr")
        page.saveTouchstone(page.correctionFiles, harness.fileUrl(base + ".s2p"))
        compare(errors.count, 0, errors.count ? errors.signalArguments[0][0] : "")
        compare(messages.signalArguments[0][0], "Save correction files was performed: " + base)
        verify(harness.fileExists(base + "1.s2p"))
        verify(harness.fileExists(base + "2.s2p"))
        verify(!harness.fileExists(base + ".s2p1.s2p"))

        var raw = harness.tempPath("raw")
        page.saveTouchstone(page.rawDataFiles, harness.fileUrl(raw + ".s2p"))
        compare(errors.count, 0, errors.count ? errors.signalArguments[0][0] : "")
        verify(messages.signalArguments[1][0].indexOf(raw) >= 0, messages.signalArguments[1][0])

        harness.clearAnalyserLog()
        mouseClick(findChild(page, "applyButton"))
        compare(errors.count, 0, errors.count ? errors.signalArguments[0][0] : "")
        compare(messages.signalArguments[2][0], "Correction was applied")
        // The analyser's de-embedding takes the files.
        tryVerify(function() { return harness.analyserReceived("CALCulate1:FSIMulator:SENDed:DEEMbed:PORT1:USER:FILename") }, 5000,
                  harness.analyserLog().join("\n"))
    }
}
