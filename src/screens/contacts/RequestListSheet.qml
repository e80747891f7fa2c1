import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// The sheet of waiting requests: a list of rows, or a check mark and a text when none wait.
// "完成" closes it. Rows stay until the chat state drops the request the server answered.
Sheet {
    id: sheet
    required property string title
    required property string emptyText
    required property var requests
    required property Component rowDelegate

    contentItem: ColumnLayout {
        spacing: 0
        SheetHeader {
            Layout.fillWidth: true
            title: sheet.title
            trailingText: "完成"
            onTrailingClicked: sheet.close()
        }
        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Column {
                objectName: "emptyState"
                anchors.centerIn: parent
                spacing: 10
                visible: sheet.requests.length === 0
                SymbolIcon { anchors.horizontalCenter: parent.horizontalCenter; kind: "checkCircle"; tint: Theme.zpTextDim; size: 40 }
                Text {
                    text: sheet.emptyText
                    font: Theme.zp(14)
                    color: Theme.zpTextDim
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                }
            }
            ListView {
                objectName: "requestList"
                anchors.fill: parent
                visible: sheet.requests.length > 0
                clip: true
                model: sheet.requests
                delegate: sheet.rowDelegate
            }
        }
    }
}
