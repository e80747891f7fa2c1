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

        function test_fallbackCharacter_data() {
            return [
                { tag: "chinese", name: "张三", expected: "张" },
                { tag: "empty", name: "", expected: "" }
            ]
        }

        function test_fallbackCharacter(data) {
            const view = createTemporaryObject(avatarComponent, root, { name: data.name, avatarURL: null })
            compare(view.resolvedURL, "")
            verify(tile(view).visible)
            compare(letter(view).text, data.expected)
        }

        function test_relativeAvatarLoads() {
            const view = createTemporaryObject(avatarComponent, root, { name: "bob", avatarURL: "avatar.png" })
            compare(view.resolvedURL, MediaTestSupport.url("/avatar.png"))
            tryCompare(view, "showsImage", true)
            verify(!tile(view).visible)
            waitForRendering(view)
            compare(grabImage(view).pixel(25, 25), Qt.rgba(1, 0, 0, 1))
        }

        function test_failedAvatarKeepsFallback() {
            const view = createTemporaryObject(avatarComponent, root, { name: "李四", avatarURL: "/page.png" })
            compare(view.resolvedURL, MediaTestSupport.url("/page.png"))
            tryCompare(findChild(view, "avatarImage"), "loadState", ImageLoader.Failed)
            verify(tile(view).visible)
            compare(letter(view).text, "李")
            verify(!view.showsImage)
        }
    }
}
