import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Screens
import ZephlinTest

// The server settings sheet: verbatim saving, cancelling and the preview line.
TestCase {
    id: testCase
    name: "ServerConfigView"
    when: windowShown
    width: 390
    height: 844
    visible: true // items under an invisible test case get no input

    Component {
        id: sheetComponent
        ServerConfigView { width: 390; height: 844 }
    }
    SignalSpy { id: closedSpy; signalName: "closed" }

    function init() {
        TestSupport.forgetServerURL()
    }

    // The address rules are ServerConfig's; the sheet shows what they derive from the typed text.
    function test_previewFollowsTheText() {
        const sheet = createTemporaryObject(sheetComponent, testCase)
        sheet.serverURL = "http://10.0.0.5:3000"
        compare(findChild(sheet, "wsPreview").text, "WebSocket地址将自动推导：ws://10.0.0.5:3000/ws")
    }

    function test_saveStoresVerbatimCancelDoesNot() {
        const sheet = createTemporaryObject(sheetComponent, testCase)
        closedSpy.target = sheet
        closedSpy.clear()
        sheet.serverURL = " 10.0.0.5:3000/ "
        mouseClick(findChild(sheet, "saveButton"))
        compare(ServerSettings.storedURL(), " 10.0.0.5:3000/ ")
        compare(closedSpy.count, 1)
        // A new sheet starts from what was stored.
        const again = createTemporaryObject(sheetComponent, testCase)
        compare(again.serverURL, " 10.0.0.5:3000/ ")
        // Cancel stores nothing.
        again.serverURL = "https://changed.example"
        mouseClick(findChild(again, "serverConfigCancel"))
        compare(ServerSettings.storedURL(), " 10.0.0.5:3000/ ")
    }
}
