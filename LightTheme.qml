pragma Singleton
import QtQuick
// Only QtQuick: the palettes reach ThemePalette through their own folder. Importing the module here
// as well would make the module's singletons wait on each other (Qt 6.4 reports a cyclic dependency).

// Only the backgrounds, the header, footer and gradient browns and the side-bar text differ from
// the dark palette; every role is restated so the table reads whole.
ThemePalette {
    backgroundDeepest: "#4d4e53"
    backgroundDefault: "#312d2b"
    surface: "#312d2b"
    headerBg: "#c1b5a5"
    footerBg: "#c3b6a8"
    scrollbarTrack: "#4f505a"
    scrollbarThumb: "#36486a"
    primaryAccent: "#3a5688"
    buttonAccent: "#5785c1"
    sidebarButtonText: "#d8c6b1"
    readingText: "#c4c8d8"
    uiText: "#a2a5b4"
    headerText: "#8488aa"
    dimText: "#71738c"
    counterText: "#606175"
    // The beige of the side-bar text darkened, at its hue and saturation, until the reading text
    // reads at 4.5:1 (WCAG body text) down the whole gradient; the popups' surface is darker still.
    gradientTop: "#664e33"
    gradientBottom: "#312d2b"
    divider: Qt.rgba(1, 1, 1, 0.12)
    overlayBg: Qt.rgba(0.055, 0.055, 0.067, 0.4)
    actionDisabled: "#141724"
}
