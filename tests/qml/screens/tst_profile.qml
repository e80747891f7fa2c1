import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Chat
import Zephlin.Screens
import Zephlin.Update
import ZephlinTest

// The "我的" tab: the menu per role, the sheets it opens and what they say before any request.
TestCase {
    id: testCase
    name: "ProfileView"
    when: windowShown
    width: 390
    height: 844
    visible: true

    ChatViewModel { id: chatState }
    ChangelogModel { id: releases }
    Component {
        id: profileComponent
        ProfileView { width: 390; height: 844; chat: chatState }
    }

    function makeProfile(isAdmin, role) {
        const state = TestSupport.newAppState()
        TestSupport.signIn(state, "u1", "老王", role || "")
        state.isAdmin = isAdmin
        return createTemporaryObject(profileComponent, testCase, { appState: state })
    }

    function sheet(profile, loader) {
        const popup = findChild(profile, loader).popupItem
        verify(popup, loader)
        tryCompare(popup, "opened", true)
        return popup
    }

    // The administration row shows for the admin role or an admin session; the badge for the latter.
    function test_adminRowPerRole_data() {
        return [
            { tag: "member", isAdmin: false, role: "", row: false, badge: false },
            { tag: "admin role only", isAdmin: false, role: "admin", row: true, badge: false },
            { tag: "session admin", isAdmin: true, role: "", row: true, badge: true },
        ]
    }
    function test_adminRowPerRole(data) {
        const profile = makeProfile(data.isAdmin, data.role)
        const titles = profile.visibleMenu.map(entry => entry.title)
        compare(titles[0] === "⚙ 站长管理", data.row)
        compare(titles.indexOf("⚙ 站长管理", 1), -1)
        compare(findChild(profile, "adminTag").visible, data.badge)
        compare(findChild(profile, "profileName").text, "老王")
        verify(findChild(profile, "menu_" + titles[0]).visible)
    }

    // The sheets show their form's refusal (a differing confirmation is the profile actions test's).
    function test_accountSheetsValidate_data() {
        return [
            { tag: "short name", row: "更改用户名", loader: "usernameLoader", fields: { newUsernameField: "王" }, message: "用户名至少2位" },
            { tag: "short password", row: "更改密码", loader: "passwordLoader", fields: { newPasswordField: "abc", confirmPasswordField: "abc" }, message: "密码至少4位" },
        ]
    }
    function test_accountSheetsValidate(data) {
        const profile = makeProfile(false)
        mouseClick(findChild(profile, "menu_" + data.row))
        const popup = sheet(profile, data.loader)
        for (const name in data.fields)
            findChild(popup.contentItem, name).text = data.fields[name]
        mouseClick(findChild(popup.contentItem, "confirmButton"))
        compare(findChild(popup.contentItem, "formMessage").text, data.message)
        verify(findChild(popup.contentItem, "confirmButton").enabled)
        keyClick(Qt.Key_Escape)
        tryCompare(findChild(profile, data.loader), "active", false)
    }

    function test_fontSizeAndThemeRows() {
        const profile = makeProfile(false)
        mouseClick(findChild(profile, "menu_字体大小"))
        const popup = sheet(profile, "fontSizeLoader")
        verify(findChild(popup.contentItem, "fontOption_md").current)
        mouseClick(findChild(popup.contentItem, "fontOption_lg"))
        compare(profile.appState.fontSize, "lg")
        tryCompare(profile, "showFontSize", false)
        profile.appState.fontSize = "md"
        // The theme row switches both ways.
        profile.appState.theme = "dark"
        mouseClick(findChild(profile, "menu_日间 / 夜间模式"))
        compare(profile.appState.theme, "light")
        mouseClick(findChild(profile, "menu_日间 / 夜间模式"))
        compare(profile.appState.theme, "dark")
    }

    function test_adminSheetToastsAndFields() {
        const profile = makeProfile(true)
        mouseClick(findChild(profile, "menu_⚙ 站长管理"))
        const popup = sheet(profile, "adminLoader")
        const field = findChild(popup.contentItem, "maxOnlineField")
        field.forceActiveFocus()
        keyClick(Qt.Key_A)
        mouseClick(findChild(popup.contentItem, "maxOnlineButton"))
        compare(chatState.toast, "")
        field.forceActiveFocus()
        field.selectAll()
        keyClick(Qt.Key_5)
        mouseClick(findChild(popup.contentItem, "maxOnlineButton"))
        compare(chatState.toast, "已设置")
        compare(field.text, "5")
        const ban = findChild(popup.contentItem, "banUsernameField")
        ban.forceActiveFocus()
        keyClick(Qt.Key_B)
        keyClick(Qt.Key_Return)
        compare(ban.text, "")
    }

    // The changelog: a card per release, newest first, each listing its items; "完成" closes. The
    // server sheet previews the derived WebSocket address, saves the text verbatim, starts from what
    // was stored, and cancelling stores nothing.
    function test_changelogAndServerSheets() {
        const profile = makeProfile(false)
        mouseClick(findChild(profile, "menu_📋 更新日志"))
        const changelog = sheet(profile, "changelogLoader").contentItem
        const first = findChild(changelog, "card0"), last = findChild(changelog, "card" + (releases.rowCount() - 1))
        verify(first !== last && first.y < last.y)
        verify(first.items.length > 0 && last.items.length > 0)
        mouseClick(findChild(changelog, "doneButton"))
        tryCompare(profile, "showChangelog", false)

        TestSupport.forgetServerURL()
        for (const [text, button] of [[" 10.0.0.5:3000/ ", "saveButton"], ["https://changed.example", "serverConfigCancel"]]) {
            mouseClick(findChild(profile, "menu_服务器设置"))
            const popup = sheet(profile, "serverConfigLoader").contentItem
            const field = findChild(popup, "serverURLField")
            if (button === "serverConfigCancel")
                compare(field.text, " 10.0.0.5:3000/ ")
            field.text = "http://10.0.0.5:3000"
            compare(findChild(popup, "wsPreview").text, "WebSocket地址将自动推导：ws://10.0.0.5:3000/ws")
            field.text = text
            mouseClick(findChild(popup, button))
            tryCompare(profile, "showServerConfig", false)
            compare(ServerSettings.storedURL(), " 10.0.0.5:3000/ ")
        }
    }
}
