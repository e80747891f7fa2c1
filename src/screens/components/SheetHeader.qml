import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A sheet's bar: the title centred, optional text buttons at the leading and trailing ends.
Item {
    id: header
    required property string title
    property string leadingText
    property string trailingText
    property bool trailingEnabled: true
    signal leadingClicked()
    signal trailingClicked()
    implicitHeight: 52

    HeaderTextButton {
        objectName: "sheetLeadingButton"
        anchors.left: parent.left
        anchors.leftMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: header.leadingText.length > 0
        text: header.leadingText
        onClicked: header.leadingClicked()
    }
    Text {
        anchors.centerIn: parent
        width: Math.min(implicitWidth, parent.width - 160)
        elide: Text.ElideRight
        text: header.title
        font: Theme.zp(17, Font.DemiBold)
        color: Theme.zpText
        Accessible.role: Accessible.Heading
        Accessible.name: header.title
    }
    HeaderTextButton {
        objectName: "sheetTrailingButton"
        anchors.right: parent.right
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        visible: header.trailingText.length > 0
        enabled: header.trailingEnabled
        text: header.trailingText
        emphasized: true
        onClicked: header.trailingClicked()
    }
    Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.zpBorder }
}
