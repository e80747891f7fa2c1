import QtQuick
import QtQuick.Layouts
import Zephlin.App

// The card's one error line, shown only when there is something to say.
Text {
    required property string message
    Layout.fillWidth: true
    visible: message.length > 0
    text: message
    font: Theme.zp(13)
    color: "#e5484d"
    wrapMode: Text.Wrap
    Accessible.role: Accessible.AlertMessage
    Accessible.name: message
}
