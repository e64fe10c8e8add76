import QtQuick 2.15
import QtQuick.Dialogs 1.3

// Chooses a Touchstone file and hands its path to `callback`.
FileDialog {
    id: dialog

    property var callback: null

    // The local path of a chosen file URL: "file:///C:/a.s2p" gives "C:/a.s2p",
    // "file:///home/a.s2p" gives "/home/a.s2p", "file://host/share/a.s2p"
    // gives "//host/share/a.s2p"; escapes are decoded.
    function localPath(url) {
        var text = url.toString()
        if (text.indexOf("file://") !== 0)
            return text
        var path = text.substring("file://".length)
        if (/^\/[A-Za-z]:/.test(path))
            path = path.substring(1)
        else if (path.charAt(0) !== "/")
            path = "//" + path   // a network share: file://host/share/...
        try {
            path = decodeURIComponent(path)
        } catch (e) {
            // Not a valid escape sequence: keep the text as it stands.
        }
        return path
    }

    visible: false
    selectExisting: true
    nameFilters: ["Touchstone files (*.s1p *.s2p *.s3p *.s4p)"]
    title: qsTr("Open Touchstone File")

    onAccepted: {
        if (typeof callback === "function")
            callback(localPath(fileUrl))
    }
}
