.pragma library

// The local path of a URL a file dialog answered: "file:///C:/a.s2p" gives
// "C:/a.s2p", "file:///home/a.s2p" gives "/home/a.s2p", "file://host/share/a"
// gives "//host/share/a"; escapes are decoded. Anything else stays as it is.
function localPath(url) {
    var text = url.toString()
    if (text.indexOf("file://") !== 0)
        return text
    var path = text.substring("file://".length)
    if (/^\/[A-Za-z]:/.test(path))
        path = path.substring(1)
    else if (path.charAt(0) !== "/")
        path = "//" + path
    try {
        path = decodeURIComponent(path)
    } catch (e) {
        // Not a valid escape sequence: keep the text as it stands.
    }
    return path
}

// The base path the correction and raw-data writers number their files
// from: the chosen file without its ".s2p" extension.
function touchstoneBasePath(url) {
    var path = localPath(url)
    if (/\.s2p$/i.test(path))
        path = path.substring(0, path.length - ".s2p".length)
    return path
}
