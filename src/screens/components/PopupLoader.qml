import QtQuick

// Keeps the sheet or alert of `popup` while `active` is set, built afresh each time it turns on
// and destroyed when it turns off. `closed` tells the owner that the popup closed itself (one of
// its buttons, Escape), so that it clears its flag.
Item {
    id: host
    property bool active: false
    property Component popup
    property var popupItem: null
    signal closed()

    onActiveChanged: sync()
    Component.onCompleted: sync()

    function sync() {
        if (active && !popupItem && popup) {
            popupItem = popup.createObject(host)
            popupItem.closed.connect(host.closed)
        } else if (!active && popupItem) {
            const item = popupItem
            popupItem = null
            // Its closing ends after this (the exit transition); by then the owner may have turned
            // `active` on again, and a late `closed` would take the new popup away.
            item.closed.disconnect(host.closed)
            item.close()
            item.destroy()
        }
    }
}
