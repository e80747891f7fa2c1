import QtQuick
import Zephlin.Images

// A spinning ring of dots; white at 60 % unless told otherwise.
Item {
    id: root

    property color color: Qt.rgba(1, 1, 1, 0.6)

    implicitWidth: 24
    implicitHeight: 24

    SpinnerDots {
        anchors.fill: parent
        color: root.color

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: root.visible
        }
    }
}
