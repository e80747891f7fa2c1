import QtQuick
import QtTest
import Zephlin.Images
import ZephlinTest

// A TestCase is invisible itself: what the cases create goes on this visible root.
Item {
    id: root
    width: 320
    height: 480

    TestCase {
        name: "ImagePreviewView"
        when: windowShown

        Component {
            id: previewComponent
            ImagePreviewView {}
        }

        function test_showsImageFullScreenAndTapCloses() {
            const preview = createTemporaryObject(previewComponent, root, { url: MediaTestSupport.url("/photo.png") })
            preview.open()
            tryCompare(preview, "opened", true)
            compare(preview.width, root.Window.window.width)
            compare(preview.height, root.Window.window.height)
            const image = findChild(preview.contentItem, "previewImage")
            tryCompare(image, "loadState", ImageLoader.Loaded)
            verify(image.visible)
            verify(!findChild(preview.contentItem, "previewSpinner").visible)
            mouseClick(preview.contentItem, 10, 10)
            tryCompare(preview, "visible", false)

            // An address that does not parse shows only the spinner.
            const bad = createTemporaryObject(previewComponent, root, { url: "not a url" })
            bad.open()
            tryCompare(bad, "opened", true)
            verify(findChild(bad.contentItem, "previewSpinner").visible)
            verify(!findChild(bad.contentItem, "previewImage").visible)
        }
    }
}
