import QtQuick 2.15
import QtTest 1.15
import "qrc:/qml"

// The settings page over the program's settings object, the analyser proxy
// and the remote-control listener: what it stores, when, and what it
// refuses.
TestCase {
    id: testCase
    name: "SettingsPage"
    when: windowShown
    visible: true
    width: 1000
    height: 700

    Component {
        id: pageComponent
        SettingsPage {
            width: testCase.width
            height: testCase.height
        }
    }

    readonly property var vna: backend.getVnaDevice()
    readonly property var server: backend.serverControl

    function initTestCase() {
        tryCompare(vna, "isConnected", true, 10000)
    }

    function init() {
        settings.darkTheme = undefined
        settings.loadedStateFile = undefined
        settings.scalingFactor = undefined
        vna.address = "127.0.0.1"
        vna.port = harness.analyserPort
        server.enabled = true
    }

    function cleanup() {
        init()
    }

    function open() {
        var page = createTemporaryObject(pageComponent, testCase)
        verify(page)
        waitForRendering(page)
        return page
    }

    // Replaces a field's text by typing, as the user does; the field's
    // validator sees every key.
    function typeInto(field, text) {
        field.forceActiveFocus()
        tryVerify(function() { return field.activeFocus }, 5000, "the field has the keyboard focus")
        field.selectAll()
        keyClick(Qt.Key_Backspace)
        for (var i = 0; i < text.length; ++i)
            keyClick(text.charAt(i))
    }

    function test_pageTitleAndTabs() {
        var page = open()
        compare(page.title, "SETTINGS")
        compare(findChild(page, "returnButton").text, "Return to plug-in")
        var settingsTab = findChild(page, "settingsTab")
        var displayTab = findChild(page, "displayTab")
        compare(settingsTab.text, "Settings")
        compare(displayTab.text, "Display")
        verify(settingsTab.checked)
        compare(findChild(page, "settingsContent").currentIndex, 0)
        mouseClick(displayTab)
        verify(displayTab.checked && !settingsTab.checked)
        compare(findChild(page, "settingsContent").currentIndex, 1)
        compare(page.scalingGroup.title, "Display propeties")
    }

    function test_openingStoresTheThemeAndTheUserSetupName_data() {
        return [
            { tag: "nothing set", dark: undefined, name: undefined, storedDark: true, storedName: undefined },
            { tag: "light theme", dark: false, name: undefined, storedDark: false, storedName: undefined },
            { tag: "an old setup name", dark: true, name: "bench-3", storedDark: true, storedName: "loadedStateFile" },
        ]
    }

    function test_openingStoresTheThemeAndTheUserSetupName(data) {
        settings.darkTheme = data.dark
        settings.loadedStateFile = data.name
        var page = open()
        compare(settings.darkTheme, data.storedDark)
        compare(settings.loadedStateFile, data.storedName)
        compare(page.darkThemeSwitch.checked, data.storedDark)
        compare(page.saveUserSetupSwitch.checked, data.storedName !== undefined)
    }

    function test_saveUserSetupSwitchStoresTheSetupName() {
        var page = open()
        var toggle = page.saveUserSetupSwitch
        compare(toggle.text, "Save user setup")
        verify(!toggle.checked)
        mouseClick(toggle)
        compare(settings.loadedStateFile, "loadedStateFile")
        compare(harness.settingsFileValue("loadedStateFile"), "loadedStateFile")
        mouseClick(toggle)
        compare(settings.loadedStateFile, undefined)
        compare(harness.settingsFileValue("loadedStateFile"), undefined)
        mouseClick(toggle)
        compare(settings.loadedStateFile, "loadedStateFile")
    }

    function test_darkThemeSwitchStoresTheTheme() {
        var page = open()
        var toggle = page.darkThemeSwitch
        compare(toggle.text, "Dark theme")
        verify(toggle.checked)
        mouseClick(toggle)
        compare(settings.darkTheme, false)
        compare(String(harness.settingsFileValue("isDarkTheme")), "false")
        mouseClick(toggle)
        compare(settings.darkTheme, true)
    }

    function test_openingStoresTheAnalyserAddressAndPort() {
        var page = open()
        compare(page.ipField.text, "127.0.0.1")
        compare(page.portField.text, String(harness.analyserPort))
        compare(page.ipField.width, 150)
        compare(page.portField.width, 65)
        compare(harness.settingsFileValue("Network/ipAddress"), "127.0.0.1")
        compare(Number(harness.settingsFileValue("Network/port")), harness.analyserPort)
    }

    function test_proxyDefaultsReachTheSettingsFileWhenThePageOpens() {
        settings.ipAddress = undefined
        settings.port = undefined
        vna.port = 5025
        open()
        compare(harness.settingsFileValue("Network/ipAddress"), "127.0.0.1")
        compare(Number(harness.settingsFileValue("Network/port")), 5025)
    }

    function test_typedPortGoesToTheSettingsAndTheProxy() {
        var page = open()
        typeInto(page.portField, "6001")
        compare(vna.port, 6001)
        compare(settings.port, 6001)
        // An emptied field is no port: both keep the last one.
        page.portField.selectAll()
        keyClick(Qt.Key_Backspace)
        compare(page.portField.text, "")
        compare(vna.port, 6001)
        compare(settings.port, 6001)
        // Letters are refused.
        keyClick("x")
        compare(page.portField.text, "")
        typeInto(page.portField, String(harness.analyserPort))
        compare(vna.port, harness.analyserPort)
        tryCompare(vna, "isConnected", true, 10000)
    }

    function test_addressFieldTakesOnlyDottedNumbersUpTo255_data() {
        return [
            { tag: "full address", typed: "192.168.1.20", shown: "192.168.1.20", stored: "192.168.1.20" },
            { tag: "number above 255", typed: "192.256", shown: "192.25", stored: "192.25" },
            { tag: "fifth number", typed: "10.0.0.1.5", shown: "10.0.0.15", stored: "10.0.0.15" },
            { tag: "letters", typed: "10.a0.x1", shown: "10.0.1", stored: "10.0.1" },
            // A trailing dot is half an address: it is shown but not used.
            { tag: "trailing dot", typed: "172.16.", shown: "172.16.", stored: "172.16" },
        ]
    }

    function test_addressFieldTakesOnlyDottedNumbersUpTo255(data) {
        var page = open()
        typeInto(page.ipField, data.typed)
        compare(page.ipField.text, data.shown)
        compare(settings.ipAddress, data.stored)
        compare(vna.address, data.stored)
    }

    function test_networkDefaultButtonSetsTheDefaultAnalyserAddress() {
        var page = open()
        typeInto(page.ipField, "10.1.2.3")
        mouseClick(findChild(page, "networkDefaultButton"))
        compare(page.ipField.text, "127.0.0.1")
        compare(page.portField.text, "5025")
        compare(vna.address, "127.0.0.1")
        compare(vna.port, 5025)
        compare(settings.ipAddress, "127.0.0.1")
        compare(settings.port, 5025)
        // The fields follow the analyser link again.
        vna.port = harness.analyserPort
        compare(page.portField.text, String(harness.analyserPort))
        compare(settings.port, harness.analyserPort)
    }

    function test_remoteControlMirrorsTheListenerAndIsNotStored() {
        var page = open()
        verify(page.serverSwitch.checked)
        compare(page.serverSwitch.text, "Socket server")
        mouseClick(page.serverSwitch)
        verify(!server.enabled)
        server.enabled = true
        verify(page.serverSwitch.checked)
        server.enabled = false

        compare(page.serverPortField.text, String(server.port))
        mouseClick(findChild(page, "serverDefaultButton"))
        compare(page.serverPortField.text, "5026")
        compare(server.port, 5026)
        typeInto(page.serverPortField, "7010")
        compare(server.port, 7010)
        server.port = 0
        compare(page.serverPortField.text, "0")
        compare(Number(harness.settingsFileValue("Network/port")), harness.analyserPort)
    }

    function test_serverStatusSaysWhereItListensOrWhyItCannot() {
        var page = open()
        server.port = 0
        server.enabled = true
        verify(server.listening)
        compare(page.serverStatus.text.indexOf("Listening on 127.0.0.1:"), 0)
        verify(!page.serverStatus.failed)

        // A port held by another program (the simulated analyser).
        server.port = harness.analyserPort
        verify(!server.listening)
        verify(page.serverSwitch.checked)
        compare(page.serverStatus.text.indexOf("Remote control cannot listen on port " + harness.analyserPort + ": "), 0)
        verify(page.serverStatus.failed)

        server.port = 70000
        compare(page.serverStatus.text, "Remote control cannot listen: invalid port number 70000")
        server.enabled = false
        compare(page.serverStatus.text, "Off")
        verify(!page.serverStatus.failed)
        server.port = 0
        server.enabled = true
        verify(server.listening)
        verify(!page.serverStatus.failed)
    }

    function test_scalingChoiceAsksForARestart() {
        var page = open()
        mouseClick(findChild(page, "displayTab"))
        var small = findChild(page, "scaling1.0")
        var medium = findChild(page, "scaling1.25")
        var large = findChild(page, "scaling1.5")
        compare([small.text, medium.text, large.text], ["Small", "Medium", "Large"])
        verify(small.checked && !medium.checked && !large.checked)
        settings.scalingFactor = "1.25"
        verify(!small.checked && medium.checked && !large.checked)

        mouseClick(large)
        verify(large.checked)
        compare(harness.settingsFileValue("Display/scalingFactor"), "1.5")
        var dialog = page.restartDialog
        tryCompare(dialog, "opened", true)
        compare(dialog.title, "Restart required")
        compare(dialog.informativeText, "The display scaling change will take effect after restart.")
        compare(dialog.acceptText, "Restart now")
        compare(dialog.discardText, "Later")
        verify(dialog.modal)
        mouseClick(findChild(dialog.contentItem, "discardButton"))
        tryCompare(dialog, "visible", false)
    }
}
