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
}
