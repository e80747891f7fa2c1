import QtQuick
import QtQuick.Controls.Basic
import Zephlin.App
import Zephlin.Chat
import "components"

// The window: splash while the session is checked, then the main tabs or sign-in by the routing
// table, with the toast on top. The content is rebuilt on every font-size change.
ApplicationWindow {
    id: window
    required property AppState appState
    readonly property alias chat: chatVM
    readonly property alias controller: controller
    width: 390
    height: 844
    minimumWidth: 320
    minimumHeight: 568
    visible: true
    title: "Zephlin"
    color: Theme.zpBG

    // The chat state lives as long as the window and survives sign-out and the next sign-in.
    ChatViewModel { id: chatVM }

    RootController {
        id: controller
        objectName: "rootController"
        appState: window.appState
        Component.onCompleted: start()
    }

    Binding { target: Theme; property: "dark"; value: window.appState.theme !== "light" }

    Loader {
        id: content
        objectName: "rootContent"
        anchors.fill: parent
        // Rebuilt whenever the font tick moves, so every text picks up the new size.
        property int builtForTick: controller.fontTick
        onBuiltForTickChanged: { active = false; active = true }
        sourceComponent: controller.route === RootController.Splash ? splash
                       : controller.route === RootController.Main ? mainTabs : signIn
    }

    Component { id: splash; SplashView {} }
    Component { id: mainTabs; MainTabView { appState: window.appState; chat: chatVM } }
    Component { id: signIn; AuthView { appState: window.appState } }

    ToastView {
        objectName: "toast"
        anchors.horizontalCenter: parent.horizontalCenter
        y: 20
        z: 100
        visible: chatVM.hasToast
        message: chatVM.toast
    }
}
