import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "components"

// The server address sheet: saved verbatim; the WebSocket address is previewed as the user types.
Rectangle {
    id: sheet
    signal closed()
    property alias serverURL: urlField.text
    color: Theme.zpBG
    focus: true
    Keys.onEscapePressed: sheet.closed()
    Component.onCompleted: urlField.forceActiveFocus()

    function save() {
        ServerSettings.save(urlField.text)
        sheet.closed()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Inline navigation bar: title centred, "保存" trailing.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: 52
            HeaderTextButton {
                objectName: "serverConfigCancel"
                anchors.left: parent.left
                anchors.leftMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: "取消"
                onClicked: sheet.closed()
            }
            Text {
                anchors.centerIn: parent
                text: "服务器设置"
                font: Theme.zp(17, Font.DemiBold)
                color: Theme.zpText
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            HeaderTextButton {
                objectName: "saveButton"
                anchors.right: parent.right
                anchors.rightMargin: 8
                anchors.verticalCenter: parent.verticalCenter
                text: "保存"
                emphasized: true
                onClicked: sheet.save()
            }
        }

        Text {
            Layout.leftMargin: 32
            Layout.topMargin: 18
            Layout.bottomMargin: 6
            text: "服务器地址"
            font: Theme.zp(13)
            color: Theme.zpTextDim
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Rectangle {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            implicitHeight: section.implicitHeight + 24
            radius: 10
            color: Theme.zpPanel

            ColumnLayout {
                id: section
                anchors.fill: parent
                anchors.margins: 12
                spacing: 10
                AppTextField {
                    id: urlField
                    objectName: "serverURLField"
                    Layout.fillWidth: true
                    placeholderText: ServerSettings.defaultURL
                    text: ServerSettings.storedURL()
                    inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText | Qt.ImhUrlCharactersOnly
                    Accessible.name: "服务器地址"
                    Accessible.description: wsPreview.text
                    onAccepted: sheet.save()
                }
                Text {
                    id: wsPreview
                    objectName: "wsPreview"
                    Layout.fillWidth: true
                    text: "WebSocket地址将自动推导：" + ServerSettings.derivedWSURL(urlField.text)
                    font: Theme.zp(12)
                    color: Theme.zpTextDim
                    wrapMode: Text.WrapAnywhere
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
