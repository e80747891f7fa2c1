import QtQuick
import QtTest
import Zephlin.Images
import Zephlin.Update
import ZephlinTest

// A TestCase is invisible itself: what the cases create goes on this visible root.
Item {
    id: root
    width: 320
    height: 480

    TestCase {
        name: "AvatarView"
        when: windowShown

        Component {
            id: avatarComponent
            AvatarView {
                size: 50
                gradient: ["#3b82f6", "#8b5cf6"]
            }
        }

        function tile(view) { return findChild(view, "fallbackTile") }
        function letter(view) { return findChild(view, "fallbackText") }

        function init() {
            MediaTestSupport.setServerURL(MediaTestSupport.baseURL() + "/")
        }

        // The picture when it loads, else the tile with the name's first character.
        function test_pictureOrFallbackTile_data() {
            return [
                { tag: "no picture", avatarURL: null, resolved: "", shows: false },
                { tag: "no picture, no name", name: "", letter: "", avatarURL: null, resolved: "", shows: false },
                { tag: "relative path", avatarURL: "avatar.png", resolved: "/avatar.png", shows: true },
                { tag: "not an image", avatarURL: "/page.png", resolved: "/page.png", shows: false },
            ]
        }
        function test_pictureOrFallbackTile(data) {
            const view = createTemporaryObject(avatarComponent, root, { name: data.name ?? "李四", avatarURL: data.avatarURL })
            compare(view.resolvedURL, data.resolved ? MediaTestSupport.url(data.resolved) : "")
            if (data.resolved)
                tryVerify(() => findChild(view, "avatarImage").loadState !== ImageLoader.Loading)
            tryCompare(view, "showsImage", data.shows)
            compare(tile(view).visible, !data.shows)
            compare(letter(view).text, data.letter ?? "李")
            if (data.shows) {
                waitForRendering(view)
                compare(grabImage(view).pixel(25, 25), Qt.rgba(1, 0, 0, 1))
            }
        }
    }

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

        // What the view shows in each state of its loader (the states themselves are the loader's
        // tests): the spinner while there is nothing yet, the failure glyph on the placeholder colour.
        function test_statesShowSpinnerImageOrGlyph_data() {
            return [
                { tag: "disk hit", path: "/earlier.png", onDisk: "green", first: ImageLoader.Loaded,
                  state: ImageLoader.Loaded, spinner: false, glyph: false, pixel: Qt.rgba(0, 128 / 255, 0, 1) },
                { tag: "download", path: "/photo.png", first: ImageLoader.Loading,
                  state: ImageLoader.Loaded, spinner: false, glyph: false, pixel: Qt.rgba(0, 0, 1, 1) },
                { tag: "not an image", path: "/page.png", first: ImageLoader.Loading,
                  state: ImageLoader.Failed, spinner: false, glyph: true, pixel: Qt.rgba(0, 0, 0, 1) },
                { tag: "no url", path: "", first: ImageLoader.Idle, state: ImageLoader.Idle, spinner: true, glyph: false },
            ]
        }
        function test_statesShowSpinnerImageOrGlyph(data) {
            const url = data.path ? MediaTestSupport.url(data.path) : ""
            if (data.onDisk)
                verify(MediaTestSupport.storeOnDisk(url, data.onDisk))
            const requests = data.path ? MediaTestSupport.requestCount(data.path) : 0
            const view = createTemporaryObject(imageComponent, root, { url: url })
            compare(view.loadState, data.first)
            compare(findChild(view, "spinner").visible, data.first === ImageLoader.Loading || data.spinner)
            tryCompare(view, "loadState", data.state)
            compare(findChild(view, "spinner").visible, data.spinner)
            compare(findChild(view, "failureGlyph").visible, data.glyph)
            if (data.first === ImageLoader.Loaded)
                compare(MediaTestSupport.requestCount(data.path), requests)
            if (data.pixel) {
                waitForRendering(view)
                compare(grabImage(view).pixel(data.glyph ? 2 : 50, data.glyph ? 2 : 40), data.pixel)
            }
        }

        // A picture larger than the view is decoded at the view's size, not its own.
        function test_largeImageIsDecodedForTheView() {
            const view = createTemporaryObject(imageComponent, root, { url: MediaTestSupport.url("/large.png") })
            tryCompare(view, "loadState", ImageLoader.Loaded)
            const size = findChild(view, "image").imageSize
            compare(size.width, 100 * Screen.devicePixelRatio)
            compare(size.height, 80 * Screen.devicePixelRatio)
        }
    }

    TestCase {
        name: "ImagePreviewView"
        when: windowShown

        Component {
            id: previewComponent
            ImagePreviewView {}
        }

        function test_showsImageFullScreenAndTapCloses() {
            const preview = createTemporaryObject(previewComponent, root, { url: MediaTestSupport.url("/avatar.png") })
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

    TestCase {
        name: "UpdateDialog"
        when: windowShown

        Component {
            id: dialogComponent
            UpdateDialog {}
        }

        function test_presentsTheCheckersAlerts() {
            const dialog = createTemporaryObject(dialogComponent, root)
            verify(!dialog.visible)
            AppUpdateChecker.checkAndPrompt()
            tryCompare(dialog, "visible", true)
            tryCompare(findChild(dialog.contentItem, "alertTitle"), "text", "发现新版本 99.0")
            compare(findChild(dialog.contentItem, "alertMessage").text, "新功能")
            const later = findChild(dialog.contentItem, "alertButton1")
            compare(later.text, "稍后再说")
            compare(findChild(dialog.contentItem, "alertButton0").text, "下载更新")
            mouseClick(later)
            tryCompare(dialog, "visible", false)
            compare(AppUpdateChecker.stage, AppUpdateChecker.Idle)
        }
    }
}
