pragma Singleton
import QtQuick
import Vellora

ThemePalette {
}
