import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A sheet: a panel rising over the current screen with rounded top corners. Its content is the
// screen's own (header with its buttons, then the body).
ModalPopup {
    id: sheet
    x: 0
    y: Math.min(24, parent ? parent.height * 0.04 : 24)
    width: parent ? parent.width : 390
    height: parent ? parent.height - y : 820

    background: Rectangle {
        color: Theme.zpBG
        radius: 12
        // Square off the bottom corners.
        Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 12; color: parent.color }
    }
    enter: Transition { NumberAnimation { property: "y"; from: sheet.parent ? sheet.parent.height : 800; duration: 220; easing.type: Easing.OutCubic } }
    exit: Transition { NumberAnimation { property: "opacity"; to: 0; duration: 120 } }
}
