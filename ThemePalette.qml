import QtQuick
// Only QtQuick: the palette needs nothing of the module, and importing the module here would make
// the module's singletons wait on each other (Qt 6.4 reports a cyclic dependency).

// The twenty colour roles of a theme. The defaults are the dark palette, so DarkTheme sets nothing.
// Every text and glyph reads at 4.5:1 (WCAG body text) on what lies behind it, hovered and pressed
// states included: the dim, counter and accent colours are as light, and the primary accent under
// button labels as deep, as that asks.
QtObject {
    property color backgroundDeepest: "#010620"
    property color backgroundDefault: "#191d35"
    property color surface: "#191d35"
    property color headerBg: "#14172c"
    property color footerBg: "#1a1e36"
    property color scrollbarTrack: "#131628"
    property color scrollbarThumb: "#36486a"
    property color primaryAccent: "#2f456d"
    property color buttonAccent: "#5a8ac8"
    property color sidebarButtonText: "#98aaf4"
    property color readingText: "#c4c8d8"
    property color uiText: "#a2a5b4"
    property color headerText: "#8488aa"
    property color dimText: "#8486a3"
    property color counterText: "#8486a1"
    property color gradientTop: "#0e1125"
    property color gradientBottom: "#191d35"
    property color divider: Qt.rgba(1, 1, 1, 0.12)
    property color overlayBg: Qt.rgba(0.055, 0.055, 0.067, 0.4)
    property color actionDisabled: "#141724"
}
