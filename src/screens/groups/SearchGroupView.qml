import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import Zephlin.Chat
import Zephlin.Images
import "../components"

// Searches groups by keyword (Return or "搜索") and applies to join one. The sheet covers the
// app-wide toast, so it shows the chat state's toast itself.
Sheet {
    id: sheet
    objectName: "searchGroupSheet"
    required property ChatViewModel chat
    property alias keyword: field.text
    initialFocus: field

    function search() { chat.searchGroups(keyword) }
    function clear() {
        keyword = ""
        chat.searchResults = []
    }

    contentItem: Item {
        ColumnLayout {
            anchors.fill: parent
            spacing: 0
            SheetHeader {
                Layout.fillWidth: true
                title: "搜索群聊"
                trailingText: "完成"
                onTrailingClicked: sheet.close()
            }
            Rectangle {
                Layout.fillWidth: true
                Layout.margins: 16
                implicitHeight: bar.implicitHeight + 20
                radius: 8
                color: Theme.zpPanel
                border.width: field.activeFocus ? 1 : 0
                border.color: Theme.accent
                RowLayout {
                    id: bar
                    anchors.fill: parent
                    anchors.leftMargin: 12
                    anchors.rightMargin: 8
                    spacing: 8
                    SymbolIcon { kind: "search"; tint: Theme.zpTextDim; size: 16 }
                    TextField {
                        id: field
                        objectName: "keywordField"
                        Layout.fillWidth: true
                        placeholderText: "输入群名称关键词"
                        placeholderTextColor: Theme.zpTextDim
                        color: Theme.zpText
                        font: Theme.zp(15)
                        padding: 0
                        background: null
                        inputMethodHints: Qt.ImhNoAutoUppercase | Qt.ImhNoPredictiveText
                        Accessible.name: placeholderText
                        onAccepted: sheet.search()
                    }
                    IconButton {
                        objectName: "clearButton"
                        visible: sheet.keyword.length > 0
                        symbol: "close"
                        label: "清除"
                        tint: Theme.zpTextDim
                        symbolSize: 14
                        onClicked: sheet.clear()
                    }
                    HeaderTextButton {
                        objectName: "searchButton"
                        text: "搜索"
                        emphasized: sheet.keyword.length > 0
                        onClicked: sheet.search()
                    }
                }
            }
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
                ActivitySpinner {
                    objectName: "searchProgress"
                    anchors.centerIn: parent
                    width: 28
                    height: 28
                    color: Theme.zpTextDim
                    visible: sheet.chat.isSearching
                }
                Column {
                    objectName: "emptyState"
                    anchors.centerIn: parent
                    spacing: 10
                    visible: !sheet.chat.isSearching && sheet.chat.searchResults.length === 0
                    SymbolIcon { anchors.horizontalCenter: parent.horizontalCenter; kind: "search"; tint: Theme.zpTextDim; size: 40 }
                    Text {
                        objectName: "emptyText"
                        text: sheet.keyword.length > 0 ? "未找到相关群聊" : "输入关键词搜索群聊"
                        font: Theme.zp(14)
                        color: Theme.zpTextDim
                        Accessible.role: Accessible.StaticText
                        Accessible.name: text
                    }
                }
                ListView {
                    objectName: "resultList"
                    anchors.fill: parent
                    visible: !sheet.chat.isSearching && sheet.chat.searchResults.length > 0
                    clip: true
                    model: sheet.chat.searchResults
                    delegate: SearchGroupRow {
                        required property var modelData
                        width: ListView.view.width
                        group: modelData
                        onApply: sheet.chat.applyToGroup(modelData.id)
                    }
                }
            }
        }

        ToastView {
            objectName: "sheetToast"
            anchors.horizontalCenter: parent.horizontalCenter
            y: 60
            z: 10
            visible: sheet.chat.hasToast
            message: sheet.chat.toast
        }
    }
}
