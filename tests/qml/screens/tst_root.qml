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

    // Splash, sign-in, main; a font change rebuilds the content once; a kick or ban signs out.
    function test_routesFontRebuildAndSignOuts() {
        const state = TestSupport.newAppState()
        const root = makeRoot(state)
        compare(root.controller.route, RootController.Splash)
        tryCompare(root.controller, "route", RootController.SignIn, 3000)
        tryVerify(() => content(root) && content(root).objectName === "authView")

        const before = content(root)
        const tick = root.controller.fontTick
        state.fontSize = "xl"
        compare(root.controller.fontTick, tick + 1)
        verify(content(root) !== before)
        compare(content(root).objectName, "authView")
        state.fontSize = "md"
        compare(root.controller.fontTick, tick + 2)

        // A token alone is not a session; token and user are.
        state.token = "t1"
        compare(root.controller.route, RootController.SignIn)
        TestSupport.signIn(state, "u1", "Bo")
        compare(root.controller.route, RootController.Main)
        tryVerify(() => content(root) && content(root).objectName === "mainTabs")
        state.logout()
        compare(root.controller.route, RootController.SignIn)
        for (const notice of ["userKicked", "userBanned"]) {
            TestSupport.signIn(state, "u2", "Al")
            compare(root.controller.route, RootController.Main)
            TestSupport.post(notice)
            compare(root.controller.route, RootController.SignIn)
            compare(state.hasToken, false)
        }
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
