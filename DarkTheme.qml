pragma Singleton
import QtQuick
// Only QtQuick: the palettes reach ThemePalette through their own folder. Importing the module here
// as well would make the module's singletons wait on each other (Qt 6.4 reports a cyclic dependency).

ThemePalette {
}
