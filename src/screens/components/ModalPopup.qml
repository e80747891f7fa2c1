import QtQuick
import QtQuick.Controls
import Zephlin.App

// The base of every sheet and dialog: modal over the whole window with a dimmed backdrop, closed by
// Escape. Opening moves focus to `initialFocus` (or the first control inside) and closing gives it
// back to whatever had it before, so keyboard users never land on the backdrop.
Popup {
    id: popup
    // Whoever shows it usually keeps it in a Loader, so every opening starts afresh; it then opens
    // itself as soon as it is built.
    property bool openWhenLoaded: true
    property Item initialFocus: null
    property Item _focusBefore: null

    parent: Overlay.overlay
    modal: true
    dim: true
    focus: true
    closePolicy: Popup.CloseOnEscape
    padding: 0

    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.45) }

    Component.onCompleted: if (openWhenLoaded) open()
    onAboutToShow: _focusBefore = parent && parent.Window.window ? parent.Window.window.activeFocusItem : null
    onOpened: {
        const target = initialFocus ? initialFocus : (contentItem ? contentItem.nextItemInFocusChain(true) : null)
        if (target)
            target.forceActiveFocus(Qt.PopupFocusReason)
    }
    onClosed: {
        if (_focusBefore)
            _focusBefore.forceActiveFocus(Qt.PopupFocusReason)
        _focusBefore = null
    }
}
