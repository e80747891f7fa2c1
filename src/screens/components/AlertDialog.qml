import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App

// An alert: title, optional message and a row of DialogTextButtons (stacked one per line for action
// lists). Buttons are declared as children; `fields` holds controls shown above them (a text field).
ModalPopup {
    id: alert
    property string title
    property string message
    property bool stacked: false
    default property alias actions: actionGrid.data
    property alias fields: fieldColumn.data

    anchors.centerIn: parent
    width: Math.min((parent ? parent.width : 390) - 48, 320)

    background: Rectangle { color: Theme.zpPanel; radius: 14; border.color: Theme.zpBorder }

    contentItem: ColumnLayout {
        spacing: 0
        Text {
            Layout.fillWidth: true
            Layout.topMargin: 18
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            text: alert.title
            font: Theme.zp(17, Font.DemiBold)
            color: Theme.zpText
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }
        Text {
            Layout.fillWidth: true
            Layout.topMargin: 8
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            visible: alert.message.length > 0
            text: alert.message
            wrapMode: Text.Wrap
            font: Theme.zp(14)
            color: Theme.zpTextDim
            lineHeight: 1.2
            horizontalAlignment: Text.AlignHCenter
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        ColumnLayout {
            id: fieldColumn
            Layout.fillWidth: true
            Layout.topMargin: 12
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            visible: children.length > 0
        }
        GridLayout {
            id: actionGrid
            Layout.fillWidth: true
            Layout.topMargin: 16
            columns: alert.stacked ? 1 : Math.max(1, children.length)
            rowSpacing: 0
            columnSpacing: 0
        }
    }
}
