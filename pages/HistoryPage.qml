pragma ComponentBehavior: Bound
import QtQuick
import Vellora

// The books read, newest first: a click on a card reopens its book, its bin takes it out of the
// history. A view over HistoryModel only; titles, authors and covers arrive later, as the model reads
// each book's metadata in the background.
Rectangle {
    id: page

    color: ThemeManager.currentTheme.backgroundDefault

    Text {
        anchors.centerIn: parent
        visible: HistoryModel.count === 0
        text: "No books read yet.\nOpen a book to start your history."
        horizontalAlignment: Text.AlignHCenter
        color: ThemeManager.currentTheme.dimText
        font.pixelSize: 14
        lineHeightMode: Text.ProportionalHeight
        lineHeight: 1.6
    }

    ListView {
        id: list
        anchors.fill: parent
        anchors.margins: 16
        visible: HistoryModel.count > 0
        model: HistoryModel
        spacing: 8
        clip: true

        delegate: Rectangle {
            id: bookRow

            required property string filePath
            required property string coverImageUrl
            required property string title
            required property string format
            required property string author
            required property real progress

            width: ListView.view.width
            height: bookInfoCol.implicitHeight + 24
            color: ThemeManager.currentTheme.surface
            radius: 4

            Row {
                id: row
                anchors.fill: parent
                anchors.leftMargin: 14
                anchors.rightMargin: 14
                anchors.topMargin: 12
                anchors.bottomMargin: 12
                spacing: 8

                Item {
                    id: coverSlot
                    anchors.verticalCenter: parent.verticalCenter
                    width: 60
                    height: 80
                    visible: bookRow.filePath !== ""

                    Image {
                        anchors.fill: parent
                        sourceSize: Qt.size(60, 80)
                        fillMode: Image.PreserveAspectFit
                        source: bookRow.filePath !== "" ? "image://fileicon/" + bookRow.filePath : ""
                        visible: coverImage.status !== Image.Ready
                    }

                    Image {
                        id: coverImage
                        anchors.fill: parent
                        sourceSize: Qt.size(60, 80)
                        fillMode: Image.PreserveAspectFit
                        source: bookRow.coverImageUrl
                        visible: status === Image.Ready
                    }
                }

                Column {
                    id: bookInfoCol
                    anchors.verticalCenter: parent.verticalCenter
                    width: row.width - removeBtn.width - 8 - (coverSlot.visible ? 68 : 0)
                    spacing: 3

                    // Texts from the book file are never markup: no styling, no remote images.
                    Text {
                        width: parent.width
                        text: bookRow.title !== "" ? bookRow.title : "Unknown Title"
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: ThemeManager.currentTheme.uiText
                        font.pixelSize: 14
                        font.bold: true
                    }
                    Text {
                        width: parent.width
                        visible: bookRow.format !== ""
                        text: bookRow.format
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: ThemeManager.currentTheme.dimText
                        font.pixelSize: 12
                    }
                    Text {
                        width: parent.width
                        visible: bookRow.author !== ""
                        text: bookRow.author
                        textFormat: Text.PlainText
                        elide: Text.ElideRight
                        color: ThemeManager.currentTheme.dimText
                        font.pixelSize: 12
                    }
                    // Half up, with no decimal correction: 0.285 gives 28%. A -0 prints as "0".
                    Text {
                        text: Math.round(bookRow.progress * 100) + "%"
                        textFormat: Text.PlainText
                        color: ThemeManager.currentTheme.buttonAccent
                        font.pixelSize: 12
                    }
                }

                FlatIconButton {
                    id: removeBtn
                    anchors.verticalCenter: parent.verticalCenter
                    iconText: "\ue872"
                    iconSize: 20
                    onClicked: HistoryModel.removeBook(bookRow.filePath)
                }
            }

            MouseArea {
                anchors.fill: parent
                z: -1
                onClicked: Book.openFromPath(bookRow.filePath)
            }
        }
    }
}
