import QtQuick
import QtQuick.Templates as T
import Zephlin.App

// The keyboard focus mark of a control, drawn just outside its background so that it also shows on
// accent-coloured buttons. Shown for focus that did not come from the mouse.
Rectangle {
    required property T.Control control
    anchors.fill: parent
    anchors.margins: -3
    color: "transparent"
    border.width: 2
    border.color: Theme.accent
    radius: 8
    visible: control.visualFocus || (control.activeFocus && control.focusReason !== Qt.MouseFocusReason)
}
