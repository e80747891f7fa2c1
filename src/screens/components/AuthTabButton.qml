import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App

// One of the card's two tabs: accent title and underline when active. A TabButton, so that its role
// stays a page tab when accessibility comes on (controls then set their own role over QML's).
TabButton {
    id: tab
    required property string title
    property bool active: false
    checkable: false
    padding: 0
    Layout.fillWidth: true
    Layout.preferredWidth: 1
    implicitHeight: label.implicitHeight + 22
    Accessible.name: title
    Accessible.selectable: true
    Accessible.selected: active
    Accessible.onPressAction: tab.clicked()
    Keys.onReturnPressed: tab.clicked()
    Keys.onEnterPressed: tab.clicked()

    contentItem: Text {
        id: label
        text: tab.title
        font.pixelSize: 15
        font.weight: tab.active ? Font.DemiBold : Font.Normal
        color: tab.active ? "#07c160" : Theme.zpTextDim
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Item {
        Rectangle {
            anchors.bottom: parent.bottom
            width: parent.width
            height: 2
            color: tab.active ? "#07c160" : "transparent"
        }
        FocusRing { control: tab; radius: 6 }
    }
}
