import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Screens
import ZephlinTest

// The sign-in card: validation order and texts, in-progress titles, tab switching.
TestCase {
    id: testCase
    name: "AuthView"
    when: windowShown
    width: 390
    height: 844
    visible: true // items under an invisible test case get no input

    Component {
        id: authComponent
        AuthView { width: 390; height: 844; appState: TestSupport.newAppState() }
    }

    function makeAuth() { return createTemporaryObject(authComponent, testCase) }

    function named(root, name) {
        const item = findChild(root, name)
        verify(item, "no item " + name)
        return item
    }

    // The checks in their order; a form that passes them sends its request (message empty).
    function test_formChecksInOrder_data() {
        return [
            { tag: "one character, before the password", name: "a", pw: "x", pw2: "y", message: "用户名需为2-20位" },
            { tag: "21 characters", name: "abcdefghijklmnopqrstu", pw: "abcd", pw2: "abcd", message: "用户名需为2-20位" },
            { tag: "3-character password, before the match", name: "ab", pw: "abc", pw2: "xyz", message: "密码需为4-64位" },
            { tag: "65-character password", name: "ab", pw: "p".repeat(65), pw2: "p".repeat(65), message: "密码需为4-64位" },
            { tag: "passwords differ", name: "ab", pw: "abcd", pw2: "abce", message: "两次密码不一致" },
            { tag: "2 and 4", name: "ab", pw: "abcd", pw2: "abcd", message: "" },
            { tag: "20 and 64", name: "abcdefghijklmnopqrst", pw: "q".repeat(64), pw2: "q".repeat(64), message: "" },
            { tag: "two CJK characters", name: "张三", pw: "密码密码", pw2: "密码密码", message: "" },
            { tag: "emoji with modifier counts once", name: "👍🏽a", pw: "abcd", pw2: "abcd", message: "" },
            { tag: "sign-in without password", login: true, name: "bo", pw: "", message: "请输入用户名和密码" },
            { tag: "sign-in without name", login: true, name: "", pw: "secret", message: "请输入用户名和密码" },
        ]
    }
    function test_formChecksInOrder(data) {
        const auth = makeAuth()
        const prefix = data.login ? "login" : "reg"
        if (!data.login)
            mouseClick(named(auth, "registerTab"))
        named(auth, prefix + "Username").text = data.name
        named(auth, prefix + "Password").text = data.pw
        if (!data.login)
            named(auth, "regPassword2").text = data.pw2
        const button = named(auth, data.login ? "loginButton" : "registerButton")
        mouseClick(button)
        compare(auth.form.message, data.message)
        compare(auth.form.isLoading, data.message === "")
        if (data.message === "")
            compare(button.title, "注册中...")
    }

    function test_inProgressTitleAndDisabledButtonUntilTheAnswer() {
        // Nothing listens on port 1: the request fails quickly with a transport error.
        ServerSettings.save("https://127.0.0.1:1")
        const auth = makeAuth()
        const button = named(auth, "loginButton")
        compare(button.title, "登 录")
        named(auth, "loginUsername").text = "bo"
        named(auth, "loginPassword").text = "secret"
        mouseClick(button)
        compare(auth.form.isLoading, true)
        compare(button.title, "登录中...")
        compare(button.enabled, false)
        tryVerify(() => auth.form.message.length > 0, 10000)
        compare(auth.form.isLoading, false)
        compare(button.title, "登 录")
        compare(button.enabled, true)
    }

    function test_switchingTabsClearsOnlyTheMessage() {
        const auth = makeAuth()
        named(auth, "loginUsername").text = "kept"
        mouseClick(named(auth, "loginButton"))
        verify(auth.form.message.length > 0)
        mouseClick(named(auth, "registerTab"))
        compare(auth.form.message, "")
        mouseClick(named(auth, "loginTab"))
        compare(named(auth, "loginUsername").text, "kept")
    }
}
