import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Images
import "../components"

// The frame of the account sheets: title, the fields (children), the red message line and the
// green "确认更改" button, which turns into a spinner while the change is on its way. Enter in a
// field submits.
Sheet {
    id: sheet
    required property string title
    required property AccountForm form
    default property alias fields: fieldColumn.data

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        SheetHeader {
            Layout.fillWidth: true
            title: sheet.title
            leadingText: "取消"
            onLeadingClicked: sheet.close()
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.margins: 16
            spacing: 12
            ColumnLayout {
                id: fieldColumn
                Layout.fillWidth: true
                spacing: 10
                Keys.onReturnPressed: sheet.form.submit()
                Keys.onEnterPressed: sheet.form.submit()
            }
            MessageLine {
                objectName: "formMessage"
                message: sheet.form.message
            }
            Button {
                id: confirm
                objectName: "confirmButton"
                Layout.fillWidth: true
                enabled: !sheet.form.isLoading
                text: "确认更改"
                implicitHeight: confirmLabel.implicitHeight + 24
                Accessible.name: text
                Accessible.onPressAction: clicked()
                Keys.onReturnPressed: clicked()
                Keys.onEnterPressed: clicked()
                onClicked: sheet.form.submit()
                contentItem: Item {
                    implicitHeight: confirmLabel.implicitHeight
                    Text {
                        id: confirmLabel
                        anchors.centerIn: parent
                        visible: !sheet.form.isLoading
                        text: confirm.text
                        font: Theme.zp(15, Font.DemiBold)
                        color: "white"
                    }
                    ActivitySpinner {
                        anchors.centerIn: parent
                        visible: sheet.form.isLoading
                        width: 20
                        height: 20
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: confirm.down ? Qt.darker("#07c160", 1.1) : "#07c160"
                    opacity: confirm.enabled ? 1 : 0.6
                    border.width: confirm.visualFocus ? 2 : 0
                    border.color: Theme.zpText
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
    Connections {
        target: sheet.form
        function onSucceeded() { sheet.close() }
    }
}
