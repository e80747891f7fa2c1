import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Zephlin.App
import "components"

// The third tab: the moments entry and the sibling reading site, behind a warning.
Rectangle {
    id: discover
    objectName: "discoverView"
    property bool showMoments: false
    readonly property bool siblingWarningShown: showSiblingWarning
    color: Theme.zpBG

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.topMargin: 16
            Layout.bottomMargin: 10
            Text {
                text: "发现"
                font: Theme.zp(22, Font.Bold)
                color: Theme.zpText
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Item { Layout.fillWidth: true }
        }

        Flickable {
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentHeight: entries.implicitHeight
            clip: true

            Column {
                id: entries
                x: 12
                width: parent.width - 24
                spacing: 8

                DiscoverItem {
                    width: parent.width
                    glyph: "朋"
                    label: "朋友圈"
                    onClicked: discover.showMoments = true
                }
                DiscoverItem {
                    objectName: "discoverSiblingEntry"
                    width: parent.width
                    glyph: "书"
                    label: "去姊妹站看小说"
                    onClicked: discover.showSiblingWarning = true
                }
            }
        }
    }

    property bool showSiblingWarning: false

    PopupLoader {
        active: discover.showSiblingWarning
        onClosed: discover.showSiblingWarning = false
        popup: AlertDialog {
            id: warning
            objectName: "siblingWarning"
            title: "警告"
            message: "你即将进入本站的姊妹站点，那里专门提供小说的阅读与下载。两个站点的用户名和密码互不相通，首次访问时需要在那里重新注册账号。"
            DialogTextButton {
                text: "取消"
                onClicked: warning.close()
            }
            DialogTextButton {
                text: "我确认"
                destructive: true
                onClicked: {
                    warning.close()
                    ExternalLinks.openSiblingSite()
                }
            }
        }
    }
}
