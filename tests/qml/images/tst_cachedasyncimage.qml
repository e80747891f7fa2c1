import QtQuick
import QtTest
import Zephlin.Images
import ZephlinTest

// A TestCase is invisible itself: what the cases create goes on this visible root.
Item {
    id: root
    width: 300
    height: 300

    TestCase {
        name: "CachedAsyncImage"
        when: windowShown

        Component {
            id: imageComponent
            CachedAsyncImage {
                width: 100
                height: 80
                placeholderColor: "black"
            }
        }

        function spinner(view) { return findChild(view, "spinner") }
        function glyph(view) { return findChild(view, "failureGlyph") }

        function test_diskCacheHitShowsInFirstFrame() {
            const url = MediaTestSupport.url("/earlier.png")
            verify(MediaTestSupport.storeOnDisk(url, "green"))
            const view = createTemporaryObject(imageComponent, root, { url: url })
            // Loaded while being created: the spinner never had a frame.
            compare(view.loadState, ImageLoader.Loaded)
            verify(!spinner(view).visible)
            verify(!glyph(view).visible)
            compare(MediaTestSupport.requestCount("/earlier.png"), 0)
            waitForRendering(view)
            const shot = grabImage(view)
            compare(shot.pixel(50, 40), Qt.rgba(0, 128 / 255, 0, 1))
        }

        function test_downloadShowsSpinnerThenImage() {
            const view = createTemporaryObject(imageComponent, root, { url: MediaTestSupport.url("/photo.png") })
            compare(view.loadState, ImageLoader.Loading)
            verify(spinner(view).visible)
            verify(!glyph(view).visible)
            tryCompare(view, "loadState", ImageLoader.Loaded)
            verify(!spinner(view).visible)
            waitForRendering(view)
            compare(grabImage(view).pixel(50, 40), Qt.rgba(0, 0, 1, 1))
        }

        // A picture larger than the view is decoded at the view's size, not its own.
        function test_largeImageIsDecodedForTheView() {
            const view = createTemporaryObject(imageComponent, root, { url: MediaTestSupport.url("/large.png") })
            tryCompare(view, "loadState", ImageLoader.Loaded)
            const size = findChild(view, "image").imageSize
            compare(size.width, 100 * Screen.devicePixelRatio)
            compare(size.height, 80 * Screen.devicePixelRatio)
        }

        function test_secondViewIsAMemoryHit() {
            const url = MediaTestSupport.url("/photo.png")
            const first = createTemporaryObject(imageComponent, root, { url: url })
            tryCompare(first, "loadState", ImageLoader.Loaded)
            const requests = MediaTestSupport.requestCount("/photo.png")
            const second = createTemporaryObject(imageComponent, root, { url: url })
            compare(second.loadState, ImageLoader.Loaded)
            compare(MediaTestSupport.requestCount("/photo.png"), requests)
        }

        function test_nonImageShowsFailureSymbol() {
            const view = createTemporaryObject(imageComponent, root, { url: MediaTestSupport.url("/page.png") })
            tryCompare(view, "loadState", ImageLoader.Failed)
            verify(glyph(view).visible)
            verify(!spinner(view).visible)
            waitForRendering(view)
            compare(grabImage(view).pixel(2, 2), Qt.rgba(0, 0, 0, 1)) // the placeholder colour around it
        }

        function test_noUrlIsIdleWithSpinner() {
            const view = createTemporaryObject(imageComponent, root, { url: "" })
            compare(view.loadState, ImageLoader.Idle)
            verify(spinner(view).visible)
        }
    }
}
