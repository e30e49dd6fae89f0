import QtQuick
import Vellora

Window {
    id: window
    width: 1100
    height: 800
    visible: true
    title: "Vellora"
    color: "#010620"
}
