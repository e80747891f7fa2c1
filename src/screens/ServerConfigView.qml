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

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Inline navigation bar: title centred, "保存" trailing.
        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: 52
            AbstractButton {
                objectName: "serverConfigCancel"
                anchors.left: parent.left
                anchors.leftMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "取消"
                Accessible.name: text
                contentItem: Text { text: "取消"; font: Theme.zp(16); color: Theme.zpTextDim }
                onClicked: sheet.closed()
            }
            Text {
                anchors.centerIn: parent
                text: "服务器设置"
                font: Theme.zp(17, Font.DemiBold)
                color: Theme.zpText
                Accessible.role: Accessible.Heading
            }
            AbstractButton {
                objectName: "saveButton"
                anchors.right: parent.right
                anchors.rightMargin: 16
                anchors.verticalCenter: parent.verticalCenter
                text: "保存"
                Accessible.name: text
                contentItem: Text { text: "保存"; font: Theme.zp(16, Font.DemiBold); color: "#07c160" }
                onClicked: {
                    ServerSettings.save(urlField.text)
                    sheet.closed()
                }
            }
        }

        Text {
            Layout.leftMargin: 32
            Layout.topMargin: 18
            Layout.bottomMargin: 6
            text: "服务器地址"
            font: Theme.zp(13)
            color: Theme.zpTextDim
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
                }
                Text {
                    objectName: "wsPreview"
                    Layout.fillWidth: true
                    text: "WebSocket地址将自动推导：" + ServerSettings.derivedWSURL(urlField.text)
                    font: Theme.zp(12)
                    color: Theme.zpTextDim
                    wrapMode: Text.WrapAnywhere
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
