import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// The full-width green action button. Disabled, it turns grey and ignores taps.
Button {
    id: button
    required property string title
    property bool isDisabled: false

    enabled: !isDisabled
    text: title
    implicitHeight: label.implicitHeight + 24
    Accessible.name: title
    Accessible.onPressAction: button.clicked()
    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()

    contentItem: Text {
        id: label
        text: button.title
        font: Theme.zp(15, Font.DemiBold)
        color: Theme.hex("062")
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        radius: 8
        color: button.isDisabled ? "#8e8e93" : (button.down ? Qt.darker(Theme.accent, 1.1) : Theme.accent)
        FocusRing { control: button; radius: 8 }
    }
}
