import QtQuick
import QtQuick.Dialogs

// The photo picker: one image file at a time. `picked(url)` hands the chosen file over; whoever
// uses it decides whether it decodes (DraftImageList.addFile).
FileDialog {
    signal picked(url file)
    title: "选择图片"
    fileMode: FileDialog.OpenFile
    nameFilters: ["图片 (*.jpg *.jpeg *.png *.gif *.webp *.bmp)"]
    onAccepted: picked(selectedFile)
}
