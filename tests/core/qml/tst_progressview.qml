import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import Color 1.0
import "qrc:/core/qml/controls"

// The progress list over a real progress manager (rows leave 800 ms after
// their job's record is released).
TestCase {
    id: testCase
    name: "ProgressView"
    when: windowShown
    width: 600
    height: 400

    property var jobs: []

    ProgressView {
        id: view
        model: progressHarness.model
    }

    function list() { return findChild(view, "progressList") }
    // The entry of row i, once the list has laid it out (until then the list
    // may still hold the entry of a row that has gone).
    function entry(i) {
        tryVerify(function() {
            var item = list().itemAtIndex(i)
            return item !== null && item.watcher !== null
        }, 2000, "entry " + i)
        return list().itemAtIndex(i)
    }
    function addJob(name) {
        var job = progressHarness.add(name)
        jobs.push(job)
        return job
    }
    function colorIs(actual, expected, what) {
        verify(Qt.colorEqual(actual, expected), what + ": " + actual + " is not " + expected)
    }

    function cleanup() {
        for (var i = 0; i < jobs.length; ++i)
            progressHarness.release(jobs[i])
        jobs = []
        tryCompare(list(), "count", 0, 3000)
    }

    function test_rowsAppearInReportOrderAndLeaveOnTheirOwnSchedule() {
        compare(list().count, 0)
        var first = addJob("Measure thru")
        var second = addJob("Save correction files")
        compare(list().count, 2)
        tryCompare(entry(0).title, "text", "Measure thru")
        tryCompare(entry(1).title, "text", "Save correction files")

        progressHarness.release(first)
        // The row keeps showing the job for the removal delay.
        wait(100)
        compare(list().count, 2)
        tryCompare(list(), "count", 1, 2000)
        tryCompare(entry(0).title, "text", "Save correction files")

        progressHarness.release(second)
        tryCompare(list(), "count", 0, 2000)
    }

    function test_freshJobShowsHalfProgress() {
        addJob("Recall state")
        var bar = entry(0).bar
        tryCompare(bar, "to", 2)
        compare(bar.from, 0)
        compare(bar.value, 1)
        var fill = findChild(bar, "fill")
        fuzzyCompare(fill.width, bar.contentItem.width / 2, 0.5)
    }

    function test_finishedJobFillsTheBarWithFinished() {
        var job = addJob("Measure reflection")
        progressHarness.setRange(job, 0, 4)
        progressHarness.start(job)
        progressHarness.step(job, "Impulse response")
        var bar = entry(0).bar
        tryCompare(bar, "value", 2)
        compare(bar.to, 4)
        compare(bar.text, "Impulse response")
        var animation = findChild(bar, "shineAnimation")
        verify(animation.running)

        progressHarness.finish(job)
        tryCompare(bar, "text", "Finished")
        compare(bar.value, 4)
        fuzzyCompare(findChild(bar, "fill").width, bar.contentItem.width, 0.5)
        colorIs(bar.color, Color.successBackground, "bar colour")
        verify(!animation.running)
        compare(findChild(bar, "barText").text, "Finished")

        progressHarness.release(job)
        wait(100)
        compare(list().count, 1)
        compare(entry(0).bar.text, "Finished")
    }

    function test_cancelledJobKeepsItsTextAndTurnsRed() {
        var job = addJob("Measure DUT")
        progressHarness.setRange(job, 0, 10)
        progressHarness.start(job)
        progressHarness.setValue(job, 3, "Reading S-parameters")
        var bar = entry(0).bar
        tryCompare(bar, "value", 3)
        colorIs(bar.color, Color.successBackground, "running bar")

        progressHarness.cancel(job)
        tryCompare(bar, "value", 10)
        compare(bar.text, "Reading S-parameters")
        colorIs(bar.color, Color.errorBackground, "cancelled bar")
    }

    function test_lowerValueIsIgnored() {
        var job = addJob("Apply correction")
        progressHarness.setRange(job, 0, 10)
        progressHarness.setValue(job, 6, "six")
        var bar = entry(0).bar
        tryCompare(bar, "value", 6)
        progressHarness.setValue(job, 4, "four")
        wait(50)
        compare(bar.value, 6)
        compare(bar.text, "six")
    }

    function test_listIsAsWideAsItsWidestEntry() {
        var shortJob = addJob("Save")
        tryVerify(function() { return list().width > 0 && list().width === entry(0).implicitWidth })
        var narrow = list().width
        // The title is at least 50 wide, the bar 50 wider than the title.
        verify(narrow >= 100)

        var longJob = addJob("Measure the fixtures of every set-up and save the results")
        tryVerify(function() { return list().width > narrow })
        compare(list().width, entry(1).implicitWidth)
        compare(entry(0).width, list().width)
        compare(view.contentWidth, list().width)
        compare(view.contentHeight, list().height)

        progressHarness.release(longJob)
        tryCompare(list(), "count", 1, 2000)
        tryCompare(list(), "width", narrow)
    }
}
