import QtQuick
import QtQuick.Controls
import Zephlin.App
import Zephlin.Update

// Presents the update checker's current alert: its title, message and buttons. The checker moves
// from one alert to the next; this dialog only shows whichever is current.
Popup {
    id: root

    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(300, parent ? parent.width - 48 : 300)
    padding: 20
    modal: true
    closePolicy: Popup.NoAutoClose
    visible: AppUpdateChecker.alertVisible
    focus: true
    // Keyboard users land on the first button; Tab stays inside while it is open.
    onOpened: if (buttons.count > 0) buttons.itemAt(0).forceActiveFocus(Qt.PopupFocusReason)

    background: Rectangle {
        color: Theme.zpPanel
        radius: 14
        border.width: 1
        border.color: Theme.zpBorder
    }

    contentItem: Column {
        spacing: 12

        Text {
            objectName: "alertTitle"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: AppUpdateChecker.alertTitle
            color: Theme.zpText
            font: Theme.zp(17, Font.DemiBold)
            wrapMode: Text.Wrap
            Accessible.role: Accessible.Heading
            Accessible.name: text
        }

        Text {
            objectName: "alertMessage"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: AppUpdateChecker.alertMessage
            color: Theme.zpText
            font: Theme.zp(13)
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }

        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 12
            visible: AppUpdateChecker.alertButtons.length > 0

            Repeater {
                id: buttons
                model: AppUpdateChecker.alertButtons

                delegate: Button {
                    required property int index
                    required property string modelData
                    objectName: "alertButton" + index
                    text: modelData
                    highlighted: index === 0
                    Accessible.onPressAction: clicked()
                    Keys.onReturnPressed: clicked()
                    Keys.onEnterPressed: clicked()
                    onClicked: AppUpdateChecker.chooseButton(index)
                }
            }
        }
    }
}
