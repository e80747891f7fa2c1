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
            compare(preview.background.color, Qt.rgba(0, 0, 0, 1))
            const image = findChild(preview.contentItem, "previewImage")
            verify(image.visible)
            compare(image.contentMode, CachedImage.Fit)
            tryCompare(image, "loadState", ImageLoader.Loaded)
            verify(!findChild(preview.contentItem, "previewSpinner").visible)

            mouseClick(preview.contentItem, 10, 10)
            tryCompare(preview, "visible", false)
        }

        function test_unparsableUrlShowsOnlySpinner() {
            const preview = createTemporaryObject(previewComponent, root, { url: "not a url" })
            preview.open()
            tryCompare(preview, "opened", true)
            verify(findChild(preview.contentItem, "previewSpinner").visible)
            verify(!findChild(preview.contentItem, "previewImage").visible)
        }
    }
}
