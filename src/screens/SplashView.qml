import QtQuick
import Zephlin.App

// Shown once per process while the stored session is checked.
Rectangle {
    id: splash
    color: "#0f1117"

    Column {
        id: stack
        anchors.centerIn: parent
        spacing: 20
        scale: 0.8
        opacity: 0

        Rectangle {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 100
            height: 100
            radius: 22
            gradient: Gradient {
                orientation: Gradient.Horizontal
                GradientStop { position: 0; color: "#07c160" }
                GradientStop { position: 1; color: "#0ea5e9" }
            }
            // A terminal prompt glyph.
            Text {
                anchors.centerIn: parent
                text: ">_"
                color: "white"
                font.pixelSize: 40
                font.bold: true
                font.family: "monospace"
            }
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Zephlin"
            color: "#e6e9ef"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            font.pixelSize: 28
            font.bold: true
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Zephlin"
            color: "#e6e9ef"
            opacity: 0.5
            font.pixelSize: 14
        }

        ParallelAnimation {
            running: true
            NumberAnimation { target: stack; property: "scale"; to: 1.0; duration: 500; easing.type: Easing.OutCubic }
            NumberAnimation { target: stack; property: "opacity"; to: 1.0; duration: 500; easing.type: Easing.OutCubic }
        }
    }
}
