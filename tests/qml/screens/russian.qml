import QtQuick 2.15
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
