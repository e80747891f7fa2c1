import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App

// A text button of an alert's button row; destructive ones are red.
AbstractButton {
    id: button
    property bool destructive: false
    Layout.fillWidth: true
    implicitHeight: 48
    Accessible.role: Accessible.Button
    Accessible.name: text
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    contentItem: Text {
        text: button.text
        font: Theme.zp(16, button.destructive ? Font.DemiBold : Font.Normal)
        color: button.destructive ? "#e5484d" : Theme.accent
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        color: button.down ? Theme.zpPanel2 : "transparent"
        Rectangle { width: parent.width; height: 1; color: Theme.zpBorder }
        // Inside the button: a ring outside it would stick out past the dialog's edge.
        FocusRing { control: button; anchors.margins: 3; radius: 6 }
    }
}
