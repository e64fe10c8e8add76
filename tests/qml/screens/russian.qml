import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15

// Run with the Russian catalogue installed (QML_PAGES_LANGUAGE=ru, as the
// program's -r does; tests/qml/CMakeLists.txt): the main window, the wizard
// pages, the table pages and the notifications speak Russian, except the
// shared error texts, which keep their source wording.
TestCase {
    id: testCase
    name: "RussianTexts"
    when: windowShown
    visible: true

    property var window: null

    Component {
        id: mainComponent
        Loader { source: "qrc:/qml/main.qml" }
    }

    function init() {
        var loader = createTemporaryObject(mainComponent, testCase)
        tryCompare(loader, "status", Loader.Ready)
        window = loader.item
        tryCompare(window, "shownPage", window.wizardPage, 10000)
        waitForRendering(window.contentItem)
    }

    function cleanup() {
        window = null
    }

    function test_mainWindowAndFooter() {
        compare(window.title, "Quentaro Vukelan")
        compare(findChild(window.footer, "backButton").text, "НАЗАД")
        compare(findChild(window.footer, "nextButton").text, "ДАЛЕЕ")
        compare(findChild(window.notificationDrawer.contentItem, "noNotifications").text, "Нет новых уведомлений")
        compare(findChild(window.notificationDrawer.contentItem, "clearNotifications").text,
                "Очистить все уведомления")
    }

    function test_wizardPages() {
        var wizard = window.wizard
        var names = ["Описание", "Подключение оснастки", "Настройка ВАЦ", "Калибровка ВАЦ", "Измерение оснастки",
                     "Результаты"]
        for (var i = 0; i < names.length; ++i) {
            compare(wizard.stepper.elementAt(i).text, names[i])
            compare(wizard.pages[i].name, names[i])
        }
        compare(wizard.fixturePage.description, "Настройка оснастки")
        compare(wizard.calibrationPage.description, "Калибровка ВАЦ")
        verify(wizard.resultsPage.full_description.indexOf("Шаг 6. Результаты") >= 0)
        compare(wizard.resultsPage.rawDataFilters, ["Файлы исходных данных (*.s*p)"])
    }

    function test_tablePages() {
        var wizard = window.wizard
        var calibration = backend.getCalibrateVnaTable()
        compare(calibration.data(calibration.index(1, 1)), "Калибровка")
        compare(calibration.data(calibration.index(4, 1)), "Калиброванные порты")
        var setup = backend.getSetupVnaTable()
        compare(setup.data(setup.index(6, 1)), "Полоса ПЧ")
        compare(wizard.setupPage.ignoreLowPassSwitch.text, "Без режима ФНЧ")
        compare(wizard.testModePage.testModeSwitch.text, "Тестовый режим")
        compare(wizard.testModePage.vukPage.name, "Тестовый режим")
        var testMode = backend.getTestModeTable()
        compare(testMode.data(testMode.index(1, 1)), "Режим")
        wizard.showTestMode()
        compare(findChild(wizard.testModePage, "returnButton").text, "Вернуться к основному приложению")
        wizard.showSteps()
    }

    // The cells of the last column, laid out on their page.
    function lastColumnLabels(table) {
        var labels = []
        var cells = table.contentItem.children
        for (var i = 0; i < cells.length; ++i) {
            var cell = cells[i]
            if (cell.objectName !== "cell" || !cell.visible || cell.cellRow === 0
                    || cell.cellColumn !== table.columns - 1)
                continue
            var content = findChild(cell, "cellContent")
            if (content && content.item && content.item.text !== undefined && content.item.text !== "")
                labels.push(content.item)
        }
        return labels
    }

    // The longer Russian texts of the last column wrap before the scroll
    // bar instead of running under it.
    function test_tableTextsClearTheScrollBar() {
        var wizard = window.wizard
        var pages = [
            { show: function() { wizard.stepIndex = 2 }, page: function() { return wizard.setupPage }, table: "setupTable" },
            { show: function() { wizard.stepIndex = 3 }, page: function() { return wizard.calibrationPage }, table: "calibrationTable" },
            { show: function() { wizard.showTestMode() }, page: function() { return wizard.testModePage }, table: "testModeTable" }
        ]
        for (var p = 0; p < pages.length; ++p) {
            pages[p].show()
            var table = findChild(pages[p].page(), pages[p].table)
            verify(table, pages[p].table)
            tryVerify(function() { return table.visible && table.width > 0 && lastColumnLabels(table).length > 0 },
                      5000, pages[p].table + " laid out")
            waitForRendering(window.contentItem)
            var bar = table.ScrollBar.vertical
            verify(bar, "the scroll bar of " + pages[p].table)
            var barLeft = bar.mapToItem(table, 0, 0).x
            var labels = lastColumnLabels(table)
            for (var i = 0; i < labels.length; ++i) {
                var right = labels[i].mapToItem(table, labels[i].leftPadding + labels[i].contentWidth, 0).x
                verify(right <= barLeft + 0.5,
                       pages[p].table + ": \"" + labels[i].text + "\" ends at " + right + ", the scroll bar begins at "
                       + barLeft)
            }
        }
        wizard.showSteps()
    }

    function test_notifications() {
        window.notifications.clear()
        // A text translated where it is emitted: the remote-control port is
        // held by another program (the simulated analyser).
        var server = backend.serverControl
        server.port = harness.analyserPort
        tryVerify(function() { return window.notifications.count > 0 }, 10000, "the listener's error")
        var refused = window.notifications.get(0)
        compare(refused.type, "error")
        verify(refused.text.indexOf("Удалённое управление не может принимать подключения на порту") >= 0, refused.text)
        server.port = 0

        // A shared text keeps its source wording.
        window.notifications.clear()
        backend.applyCorrection()
        tryVerify(function() { return window.notifications.count > 0 }, 10000, "the correction's error")
        var failed = window.notifications.get(0)
        compare(failed.type, "error")
        verify(/: There is no calculated data$/.test(failed.text), failed.text)
    }
}
