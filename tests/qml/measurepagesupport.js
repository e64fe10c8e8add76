.pragma library

// Helpers of the description, connection, measurement and characterization
// page tests: item look-up by objectName through children, content items
// and the visual children of views.

function children(item) {
    var list = []
    if (!item)
        return list
    // data: the children and the non-visual objects (dialogs, popups).
    var kids = item.data || item.children || []
    for (var i = 0; i < kids.length; ++i)
        list.push(kids[i])
    if (item.contentItem && item.contentItem !== item && list.indexOf(item.contentItem) < 0)
        list.push(item.contentItem)
    if (item.contentChildren) {
        for (var k = 0; k < item.contentChildren.length; ++k) {
            if (list.indexOf(item.contentChildren[k]) < 0)
                list.push(item.contentChildren[k])
        }
    }
    if (item.item && list.indexOf(item.item) < 0)   // a Loader's item
        list.push(item.item)
    return list
}

// Every item below root (root included) whose objectName is name, in
// depth-first order.
function findAll(root, name) {
    var found = []
    var seen = []
    function visit(item) {
        if (!item || seen.indexOf(item) >= 0)
            return
        seen.push(item)
        if (item.objectName === name)
            found.push(item)
        var kids = children(item)
        for (var i = 0; i < kids.length; ++i)
            visit(kids[i])
    }
    visit(root)
    return found
}

// The first such item, or null.
function find(root, name) {
    var all = findAll(root, name)
    return all.length > 0 ? all[0] : null
}

// The first such item that is visible, or null.
function findVisible(root, name) {
    var all = findAll(root, name)
    for (var i = 0; i < all.length; ++i) {
        if (all[i].visible)
            return all[i]
    }
    return null
}

// Whether a file dialog's name filter such as "Name (*.a *.b)" lists the
// file name.
function filterLists(filter, name) {
    var patterns = /\(([^)]*)\)/.exec(filter)
    if (!patterns)
        return false
    return patterns[1].split(" ").some(function(glob) {
        var text = glob.replace(/[.+^${}()|[\]\\]/g, "\\$&").replace(/\*/g, ".*").replace(/\?/g, ".")
        return new RegExp("^" + text + "$").test(name)
    })
}
