import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "../components"

// The text size sheet: four steps, the current one checked. Choosing one applies it at once (the
// window is laid out again at the new size) and closes the sheet.
Sheet {
    id: sheet
    objectName: "fontSizeSheet"
    required property AppState appState
    readonly property var options: [
        { label: "小", value: "sm" },
        { label: "标准", value: "md" },
        { label: "大", value: "lg" },
        { label: "特大", value: "xl" }
    ]

    function choose(value) {
        sheet.close()
        appState.fontSize = value
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0
        SheetHeader {
            Layout.fillWidth: true
            title: "字体大小"
            trailingText: "完成"
            onTrailingClicked: sheet.close()
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.margins: 16
            implicitHeight: optionColumn.implicitHeight
            radius: 10
            color: Theme.zpPanel
            clip: true
            Column {
                id: optionColumn
                width: parent.width
                Repeater {
                    model: sheet.options
                    delegate: AbstractButton {
                        id: option
                        required property var modelData
                        required property int index
                        readonly property bool current: sheet.appState.fontSize === modelData.value
                        objectName: "fontOption_" + modelData.value
                        width: optionColumn.width
                        implicitHeight: optionLabel.implicitHeight + 26
                        text: modelData.label
                        Accessible.role: Accessible.Button
                        Accessible.name: current ? text + "，已选" : text
                        Accessible.onPressAction: option.clicked()
                        Keys.onReturnPressed: option.clicked()
                        Keys.onEnterPressed: option.clicked()
                        onClicked: sheet.choose(modelData.value)
                        background: Rectangle {
                            color: option.down || option.visualFocus ? Theme.zpPanel2 : "transparent"
                            Rectangle {
                                visible: option.index > 0
                                x: 16; width: parent.width - 16; height: 1
                                color: Theme.zpBorder
                            }
                        }
                        contentItem: RowLayout {
                            Text {
                                id: optionLabel
                                Layout.fillWidth: true
                                leftPadding: 16
                                text: option.modelData.label
                                font: Theme.zp(15)
                                color: Theme.zpText
                            }
                            SymbolIcon {
                                objectName: "checkmark"
                                Layout.rightMargin: 16
                                visible: option.current
                                kind: "check"
                                size: 16
                                tint: "#07c160"
                            }
                        }
                    }
                }
            }
        }
        Item { Layout.fillHeight: true }
    }
}
