import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Controls.Material 2.15
import QtQuick.Layouts 1.15
import QtQuick.Window 2.15
import Color 1.0
import IconShortcuts 1.0
import "qrc:/core/qml/controls"

// The main window: one full-size page at a time (waiting for the analyser,
// measurements running, or the wizard), the settings page stacked over it,
// and a footer with the notifications, the settings toggle, the analyser's
// status and the wizard's BACK and NEXT.
VukApplicationWindow {
    id: window
    objectName: "mainWindow"

    readonly property var vna: backend ? backend.getVnaDevice() : null
    readonly property var progressModel: backend ? backend.getProgressManager().model : null

    // The pages of the main layout.
    readonly property int wizardPage: 0
    readonly property int waitingPage: 1
    readonly property int measuringPage: 2
    readonly property int shownPage: (!backend || !vna || !vna.isConnected || vna.isReady !== true)
                                     ? waitingPage
                                     : wizard.isMeasuring ? measuringPage : wizardPage

    property alias notifications: notificationModel
    property alias wizard: wizard
    property alias stack: stack
    property alias notificationDrawer: drawer

    // The analyser's state in the footer.
    readonly property bool analyserFault: !!backend && (!vna || !vna.isConnected || vna.isReady === undefined
                                                        || vna.isReady === null || vna.isReady === false)
    function statusText() {
        if (!backend || !vna)
            return "---"
        if (!vna.isConnected || vna.isReady === undefined || vna.isReady === null)
            return qsTr("VNA NOT CONNECTED")
        if (!vna.isReady || vna.vnaInfo === undefined || vna.vnaInfo === null)
            return qsTr("VNA CONNECTED NOT READY")
        return vna.vnaInfo.model + " SN:" + vna.vnaInfo.serialNumber + " SV:" + vna.vnaInfo.version
                + " Plug-in v" + backend.getProjectVersion()
    }

    // Newest first, each text behind the time it arrived; a warning keeps
    // its detail beside it.
    function notify(type, text, detail) {
        notificationModel.insert(0, { "text": Qt.formatTime(new Date(), "h:mm") + ": " + text, "type": type,
                                      "detail": detail === undefined ? "" : detail })
    }

    // The warnings that arrived while the notification drawer was closed;
    // opening it shows them.
    property int unreadNotices: 0

    function notifyWarning(summary, detail) {
        notify("warning", summary, detail)
        if (!drawer.visible)
            unreadNotices += 1
    }

    function openSettings() {
        if (!stack.currentItem || stack.currentItem.objectName !== "settingsPage")
            stack.push(settingsPageComponent)
    }

    function closeSettings() {
        if (stack.depth > 1)
            stack.pop()
    }

    // The size the pages are laid out for, and the smallest they take
    // without scrolling.
    readonly property int preferredWidth: 1200
    readonly property int preferredHeight: 860
    readonly property int designMinimumWidth: 700
    readonly property int designMinimumHeight: 650
    // What the screen offers (in the scaled pixels QML works in), less room
    // for a window manager's title bar: at a large scale on a small screen
    // the window shrinks and its content scrolls, so that the footer with
    // BACK and NEXT stays on the screen.
    readonly property int titleBarAllowance: 40
    readonly property int screenWidth: Math.max(1, Math.min(Screen.width, Screen.desktopAvailableWidth > 0
                                                                          ? Screen.desktopAvailableWidth : Screen.width))
    readonly property int screenHeight: Math.max(1, Math.min(Screen.height, Screen.desktopAvailableHeight > 0
                                                                            ? Screen.desktopAvailableHeight : Screen.height)
                                                    - titleBarAllowance)

    title: qsTr("Quentaro Vukelan")
    minimumWidth: Math.min(designMinimumWidth, screenWidth)
    minimumHeight: Math.min(designMinimumHeight, screenHeight)
    width: startWidth
    height: startHeight
    // Centred at the start size (not the current one, so that resizing the
    // window does not move it).
    readonly property int startWidth: Math.min(preferredWidth, screenWidth)
    readonly property int startHeight: Math.min(preferredHeight, screenHeight)
    x: Screen.virtualX + Math.max(0, (Screen.width - startWidth) / 2)
    y: Screen.virtualY + titleBarAllowance + Math.max(0, (screenHeight - startHeight) / 2)
    visible: true
    theme: (!settings || settings.darkTheme === undefined || settings.darkTheme === null || settings.darkTheme)
           ? VukApplicationWindow.UiTheme.Dark : VukApplicationWindow.UiTheme.Light

    ListModel {
        id: notificationModel
    }

    // F9 opens the test-mode page from wherever the keyboard focus is in
    // the window (a page's control, a dialog just closed), as long as the
    // wizard is the page shown. An open popup that closes on Escape keeps
    // window shortcuts from outside it, so the notification drawer carries
    // its own while it is open.
    readonly property bool testModeKeyEnabled: shownPage === wizardPage && stack.currentItem === mainLayout

    Shortcut {
        objectName: "testModeShortcut"
        sequence: "F9"
        context: Qt.WindowShortcut
        enabled: window.testModeKeyEnabled && !drawer.visible
        onActivated: wizard.showTestMode()
    }

    Connections {
        target: backend
        ignoreUnknownSignals: true
        function onMessage(message) { window.notify("message", message) }
        function onError(error) { window.notify("error", error) }
        function onNotice(summary, detail) { window.notifyWarning(summary, detail) }
        function onPresetGui() { wizard.presetGui() }
    }

    // The remote-control listener's failures (a port already taken, most
    // often by a second copy of the program); one at start-up happened
    // before this window existed and is shown once it is complete.
    Connections {
        target: backend ? backend.serverControl : null
        ignoreUnknownSignals: true
        function onError(msg) { window.notify("error", msg) }
    }

    Component.onCompleted: {
        if (backend && backend.serverControl && backend.serverControl.enabled
                && !backend.serverControl.listening)
            notify("error", backend.serverControl.status)
    }

    VukHelpPageGroup {
        id: helpGroup
        objectName: "helpGroup"
        main_window: window
        pages: wizard.helpPages
    }

    // Below the pages' smallest size the content scrolls, with the scroll
    // bars beside the pages, not over their edges.
    Flickable {
        id: contentView
        objectName: "contentView"
        anchors.fill: parent
        // The pages' smallest height, or more where the wizard's page shown
        // needs it (a longer translation on a small screen).
        readonly property real neededHeight: Math.max(window.designMinimumHeight - footerPane.height,
                                                      stack.currentItem === mainLayout
                                                      && window.shownPage === window.wizardPage
                                                      ? Math.ceil(wizard.requiredHeight) : 0)
        // Whether the pages scroll down, taken after the sizes it depends
        // on have settled: the scroll bar's width rewraps the texts, which
        // changes the height the page needs. Both states are stable: the
        // narrower page never needs less than the wider one.
        property bool scrollsDown: false
        function updateScrollsDown() { scrollsDown = height < neededHeight }
        onHeightChanged: Qt.callLater(updateScrollsDown)
        onNeededHeightChanged: Qt.callLater(updateScrollsDown)
        Component.onCompleted: updateScrollsDown()
        readonly property bool scrollsAcross: width - (scrollsDown ? verticalBar.width : 0) < window.designMinimumWidth
        contentWidth: Math.max(width - (scrollsDown ? verticalBar.width : 0), window.designMinimumWidth)
        contentHeight: Math.max(height - (scrollsAcross ? horizontalBar.height : 0), neededHeight)
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        interactive: scrollsDown || scrollsAcross
        ScrollBar.vertical: ScrollBar {
            id: verticalBar
            policy: contentView.scrollsDown ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }
        ScrollBar.horizontal: ScrollBar {
            id: horizontalBar
            policy: contentView.scrollsAcross ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff
        }

        StackView {
            id: stack
            objectName: "mainStack"
            width: contentView.contentWidth
            height: contentView.contentHeight
            initialItem: mainLayout

            pushEnter: Transition {
                NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 350 }
            }
            pushExit: Transition {
                NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 350 }
            }
            popEnter: Transition {
                NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 350 }
            }
            popExit: Transition {
                NumberAnimation { property: "opacity"; from: 1; to: 0; duration: 350 }
            }
        }
    }

    // The first stack item. It forwards the wizard's navigation to the
    // footer while the wizard is the page shown.
    StackLayout {
        id: mainLayout
        objectName: "mainLayout"
        // The stack's size, always: a layout left taller than the stack
        // after the stack has shrunk would lay its pages out below the view.
        width: stack.width
        height: stack.height

        readonly property bool hasPrev: currentIndex === window.wizardPage && wizard.hasPrev
        readonly property bool hasNext: currentIndex === window.wizardPage && wizard.hasNext
        function prev() { if (hasPrev) wizard.prev() }
        function next() { if (hasNext) wizard.next() }

        currentIndex: window.shownPage
        focus: true
        Component.onCompleted: forceActiveFocus()


        VukStepsPage {
            id: wizard
            objectName: "wizard"
        }

        Pane {
            objectName: "waitingPage"

            ColumnLayout {
                anchors.centerIn: parent
                spacing: 20

                Label {
                    objectName: "waitingTitle"
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Waiting for VNA")
                    font.pixelSize: 28
                }

                BusyIndicator {
                    Layout.alignment: Qt.AlignHCenter
                    running: window.shownPage === window.waitingPage
                }

                Label {
                    objectName: "waitingHelp"
                    Layout.alignment: Qt.AlignHCenter
                    font.pointSize: 10
                    text: qsTr("\n"
                               + "1. Make sure that VNA sofware is launched.\n"
                               + "\n"
                               + "2. Make sure that the Socket Server of VNA software is On:\n"
                               + "System -> Misc Setup -> Network Remote Control Settings -> Socket Server ON\n"
                               + "\n"
                               + "3. During measurement with the sweep time exceeding 30 seconds per sweep:\n"
                               + "A) Make sure that VNA software is still running at the given settings.\n"
                               + "B) Wait for VNA software to collect all the required data and update traces.\n"
                               + "\n"
                               + "Note that the Sweep Progress Field of VNA software, located in the Channel Status Bar,\n"
                               + "displays a progress bar when the channel data is being updated.\n"
                               + "If the Sweep Progress Field freezes, wait for a minute and re-start VNA software.\n"
                               + "\n"
                               + "To display Sweep Time in the instrument status bar:\n"
                               + "Display -> Properties -> Cycle Time ON\n")
                }
            }
        }

        Pane {
            objectName: "measuringPage"

            ColumnLayout {
                anchors.centerIn: parent
                spacing: 20

                Label {
                    Layout.alignment: Qt.AlignHCenter
                    text: qsTr("Measurements are executing")
                    font.pixelSize: 28
                }

                Button {
                    objectName: "cancelButton"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.preferredWidth: 185
                    Layout.preferredHeight: 32
                    flat: true
                    text: qsTr("Cancel")
                    // Every set-up, step and process, then the analyser's
                    // abort, so that a sweep in progress ends at once.
                    onClicked: {
                        if (backend)
                            backend.cancelJobs()
                    }
                }
            }
        }
    }

    Component {
        id: settingsPageComponent

        SettingsPage {
            onReturnMe: window.closeSettings()
        }
    }

    ProgressView {
        objectName: "progressView"
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        anchors.margins: 5
        z: 10
        model: window.progressModel
        visible: window.progressModel !== null && window.progressModel.size > 0
    }

    Drawer {
        id: drawer
        objectName: "notificationDrawer"
        edge: Qt.LeftEdge
        width: 260
        height: window.height - window.footer.height
        modal: false
        dim: false
        closePolicy: Popup.CloseOnEscape
        onOpened: window.unreadNotices = 0

        Shortcut {
            sequence: "F9"
            context: Qt.WindowShortcut
            enabled: window.testModeKeyEnabled && drawer.visible
            onActivated: wizard.showTestMode()
        }

        ColumnLayout {
            anchors.fill: parent
            spacing: 0

            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true

                ListView {
                    id: notificationList
                    objectName: "notificationList"
                    anchors.fill: parent
                    clip: true
                    spacing: 2
                    model: notificationModel
                    // Entries beyond the drawer's height: the bar shows
                    // that the list scrolls.
                    ScrollBar.vertical: ScrollBar {
                        id: notificationScrollBar
                        objectName: "notificationScrollBar"
                        policy: notificationList.contentHeight > notificationList.height ? ScrollBar.AlwaysOn
                                                                                         : ScrollBar.AlwaysOff
                    }

                    remove: Transition {
                        NumberAnimation { property: "x"; to: -notificationList.width; duration: 200 }
                    }
                    removeDisplaced: Transition {
                        NumberAnimation { property: "y"; duration: 200 }
                    }

                    delegate: Loader {
                        id: entry
                        readonly property string entryText: model.text
                        readonly property string entryDetail: model.detail
                        // Beside the scroll bar, when the list shows one.
                        width: ListView.view ? ListView.view.width - (notificationScrollBar.policy === ScrollBar.AlwaysOn
                                                                       ? notificationScrollBar.width : 0) : 0
                        sourceComponent: model.type === "message" ? messageEntry
                                       : model.type === "warning" ? warningEntry : errorEntry

                        Connections {
                            target: entry.item
                            function onRemoveMe() { notificationModel.remove(index) }
                        }

                        Component {
                            id: messageEntry
                            MessageSwipeDelegate { text: entry.entryText }
                        }
                        Component {
                            id: errorEntry
                            ErrorSwipeDelegate { text: entry.entryText }
                        }
                        Component {
                            id: warningEntry
                            WarningSwipeDelegate {
                                text: entry.entryText
                                detail: entry.entryDetail
                            }
                        }
                    }
                }

                Label {
                    objectName: "noNotifications"
                    anchors.centerIn: parent
                    visible: notificationModel.count === 0
                    text: qsTr("No new notifications")
                }
            }

            Button {
                objectName: "clearNotifications"
                Layout.fillWidth: true
                Layout.margins: 5
                flat: true
                font.capitalization: Font.MixedCase
                text: qsTr("Clear all notifications")
                onClicked: notificationModel.clear()
            }
        }
    }

    footer: VukShadowPane {
        id: footerPane
        objectName: "footer"
        height: 45
        padding: 0
        leftPadding: 5
        rightPadding: 5

        RowLayout {
            anchors.fill: parent
            spacing: 5

            ToolButton {
                objectName: "notificationsButton"
                Layout.preferredHeight: footerPane.availableHeight
                Layout.preferredWidth: footerPane.availableHeight
                icon.source: Icons.list
                icon.width: 20
                icon.height: 20
                highlighted: drawer.visible
                onClicked: drawer.visible ? drawer.close() : drawer.open()

                // Warnings not seen yet: how many, on the button's corner.
                Rectangle {
                    objectName: "unreadNoticesMark"
                    visible: window.unreadNotices > 0
                    anchors.top: parent.top
                    anchors.right: parent.right
                    anchors.topMargin: 2
                    anchors.rightMargin: 0
                    width: Math.max(height, unreadCount.implicitWidth + 6)
                    height: 16
                    radius: height / 2
                    color: Color.alertBackground

                    Label {
                        id: unreadCount
                        objectName: "unreadNoticesCount"
                        anchors.centerIn: parent
                        font.pixelSize: 11
                        font.bold: true
                        color: Color.alertForeground
                        text: window.unreadNotices > 99 ? "99+" : window.unreadNotices
                    }
                }
            }

            ToolButton {
                id: settingsToggle
                objectName: "settingsButton"
                Layout.preferredHeight: footerPane.availableHeight
                Layout.preferredWidth: footerPane.availableHeight
                checkable: true
                checked: stack.currentItem !== null && stack.currentItem.objectName === "settingsPage"
                icon.source: Icons.settings
                icon.width: 25
                icon.height: 25
                onToggled: checked ? window.openSettings() : window.closeSettings()
            }

            VukSeparator {
                Layout.preferredWidth: 1
                Layout.fillHeight: true
                Layout.topMargin: 8
                Layout.bottomMargin: 8
            }

            VukErrorLabel {
                objectName: "statusLabel"
                Layout.leftMargin: 5
                font.pixelSize: 13
                font.family: "Roboto"
                hasError: window.analyserFault
                text: window.statusText()
            }

            Item {
                Layout.fillWidth: true
            }

            ToolButton {
                objectName: "backButton"
                readonly property var target: stack.currentItem
                Layout.preferredWidth: 100
                Layout.preferredHeight: 32
                visible: target !== null && target.hasPrev !== undefined
                enabled: visible && target.hasPrev === true
                text: qsTr("BACK")
                onClicked: target.prev()
            }

            Button {
                objectName: "nextButton"
                readonly property var target: stack.currentItem
                Layout.preferredWidth: 100
                Layout.preferredHeight: 32
                highlighted: true
                visible: target !== null && target.hasNext !== undefined
                enabled: visible && target.hasNext === true
                text: qsTr("NEXT")
                onClicked: target.next()
            }
        }
    }
}
