import QtQuick
import Zephlin.Chat
import Zephlin.Images

// The images of a message: one 160-point square, or 70-point squares in 2 or 3 columns. Sizes are
// fixed before any pixel arrives, so a loading image never moves the list.
Grid {
    id: grid
    required property var images
    signal imageTapped(string url)
    property var layoutRule: MessageFormat.gridFor(images.length)
    columns: layoutRule.columns
    spacing: 4

    Repeater {
        model: grid.images
        delegate: Item {
            id: cell
            required property string modelData
            required property int index
            readonly property string url: MessageFormat.imageURL(modelData)
            readonly property bool formsURL: ImageTools.parsesAsURL(url)
            width: grid.layoutRule.cell
            height: grid.layoutRule.cell
            Accessible.role: Accessible.Button
            Accessible.name: "图片 " + (index + 1)
            Accessible.onPressAction: if (cell.formsURL) grid.imageTapped(cell.url)

            Rectangle {
                anchors.fill: parent
                radius: 6
                color: Qt.rgba(0.5, 0.5, 0.5, 0.3)
                visible: !cell.formsURL
            }
            CachedAsyncImage {
                anchors.fill: parent
                visible: cell.formsURL
                url: cell.formsURL ? cell.url : ""
                placeholderColor: Qt.rgba(0.5, 0.5, 0.5, 0.3)
                radius: 6
            }
            TapHandler {
                enabled: cell.formsURL
                onTapped: grid.imageTapped(cell.url)
            }
        }
    }
}
