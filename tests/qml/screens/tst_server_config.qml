import QtQuick
import QtTest
import Zephlin.App
import Zephlin.Screens
import ZephlinTest

// The server settings sheet: verbatim saving and the preview line.
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

    function test_startsWithTheDefaultWhenNothingIsStored() {
        const sheet = createTemporaryObject(sheetComponent, testCase)
        compare(sheet.serverURL, "https://localhost:8443")
        compare(findChild(sheet, "wsPreview").text, "WebSocket地址将自动推导：wss://localhost:8443/ws")
    }

    function test_previewFollowsTheText_data() {
        return [
            { tag: "https", text: "https://chat.example.org", preview: "wss://chat.example.org/ws" },
            { tag: "http", text: "http://10.0.0.5:3000", preview: "ws://10.0.0.5:3000/ws" },
            { tag: "no scheme", text: "10.0.0.5:3000", preview: "ws://10.0.0.5:3000/ws" },
        ]
    }
    function test_previewFollowsTheText(data) {
        const sheet = createTemporaryObject(sheetComponent, testCase)
        sheet.serverURL = data.text
        compare(findChild(sheet, "wsPreview").text, "WebSocket地址将自动推导：" + data.preview)
    }

    function test_saveStoresVerbatimAndCloses() {
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
    }

    function test_cancelStoresNothing() {
        ServerSettings.save("https://kept.example")
        const sheet = createTemporaryObject(sheetComponent, testCase)
        sheet.serverURL = "https://changed.example"
        mouseClick(findChild(sheet, "serverConfigCancel"))
        compare(ServerSettings.storedURL(), "https://kept.example")
    }
}
