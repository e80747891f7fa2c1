import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Screens
import ZephlinTest

// The root view: splash first, then the routing table; ban/kick sign out; font changes rebuild.
TestCase {
    id: testCase
    name: "RootView"
    when: windowShown

    Component {
        id: rootComponent
        RootView { visible: true }
    }

    function makeRoot(state) {
        const root = createTemporaryObject(rootComponent, testCase, { appState: state })
        verify(root)
        root.controller.splashHoldMs = 50
        return root
    }

    function content(root) {
        return findChild(root.contentItem, "rootContent").item
    }

    function test_routingTable() {
        const state = TestSupport.newAppState()
        const root = makeRoot(state)
        compare(root.controller.route, RootController.Splash)
        tryCompare(root.controller, "route", RootController.SignIn, 3000)
        tryVerify(() => content(root) && content(root).objectName === "authView")

        // A token alone is not a session; token and user are.
        state.token = "t1"
        compare(root.controller.route, RootController.SignIn)
        TestSupport.signIn(state, "u1", "Bo")
        compare(root.controller.route, RootController.Main)
        tryVerify(() => content(root) && content(root).objectName === "mainTabs")

        state.logout()
        compare(root.controller.route, RootController.SignIn)
    }

    function test_kickAndBanSignOut_data() {
        return [ { tag: "kicked", name: "userKicked" }, { tag: "banned", name: "userBanned" } ]
    }
    function test_kickAndBanSignOut(data) {
        const state = TestSupport.newAppState()
        const root = makeRoot(state)
        tryCompare(root.controller, "route", RootController.SignIn, 3000)
        TestSupport.signIn(state, "u2", "Al")
        compare(root.controller.route, RootController.Main)
        TestSupport.post(data.name)
        compare(root.controller.route, RootController.SignIn)
        compare(state.hasToken, false)
    }

    function test_fontChangeRebuildsTheContentOncePerChange() {
        const state = TestSupport.newAppState()
        const root = makeRoot(state)
        tryCompare(root.controller, "route", RootController.SignIn, 3000)
        const before = content(root)
        const tick = root.controller.fontTick
        state.fontSize = "xl"
        compare(root.controller.fontTick, tick + 1)
        const after = content(root)
        verify(after !== before)
        compare(after.objectName, "authView")
        state.fontSize = "sm"
        compare(root.controller.fontTick, tick + 2)
        state.fontSize = "md"
    }

    function test_themeAndFontsFollowTheSession() {
        const state = TestSupport.newAppState()
        const root = makeRoot(state)
        state.theme = "light"
        compare(Theme.dark, false)
        compare(root.color, Theme.zpBG)
        const light = Theme.zpBG.toString()
        state.theme = "dark"
        compare(Theme.dark, true)
        compare(root.color, Theme.zpBG)
        verify(Theme.zpBG.toString() !== light)
        // Fonts carry the scaled size (the factor is 1 at "md") and the weight asked for.
        state.fontSize = "md"
        const font = Theme.zp(15, Font.DemiBold)
        compare(font.pixelSize, 15)
        compare(font.weight, Font.DemiBold)
    }
}
