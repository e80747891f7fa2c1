import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App

// A page whose screen is not built yet: its title and nothing else.
Rectangle {
    id: page
    required property string title
    property bool showBack: false
    signal back()
    color: Theme.zpBG

    Text {
        x: page.showBack ? 48 : 16
        y: 16
        text: page.title
        font: Theme.zp(22, Font.Bold)
        color: Theme.zpText
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    AbstractButton {
        id: backButton
        visible: page.showBack
        x: 8
        y: 12
        width: 36
        height: 36
        text: "返回"
        Accessible.role: Accessible.Button
        Accessible.name: text
        Accessible.onPressAction: page.back()
        Keys.onReturnPressed: page.back()
        Keys.onEnterPressed: page.back()
        background: FocusRing { control: backButton }
        contentItem: Text { text: "‹"; font.pixelSize: 30; color: Theme.zpText; horizontalAlignment: Text.AlignHCenter }
        onClicked: page.back()
    }
}
