pragma Singleton
import QtQuick
// Only QtQuick: the palettes reach ThemePalette through their own folder. Importing the module here
// as well would make the module's singletons wait on each other (Qt 6.4 reports a cyclic dependency).

// Warm browns under the dark palette's light text; every role is restated so the table reads
// whole. Every text and glyph reads at 4.5:1 (WCAG body text) on what lies behind it, hovered rows
// and buttons included: the browns behind text are deep enough for that, and the dim and accent
// colours light enough.
ThemePalette {
    backgroundDeepest: "#4d4e53"
    backgroundDefault: "#312d2b"
    surface: "#312d2b"
    // The side-bar row under the pointer shows it lightened by 1.3, under the side-bar text.
    headerBg: "#443f3a"
    footerBg: "#3b3833"
    scrollbarTrack: "#4f505a"
    scrollbarThumb: "#36486a"
    primaryAccent: "#2f456d"
    buttonAccent: "#6ca6f0"
    sidebarButtonText: "#d8c6b1"
    readingText: "#c4c8d8"
    uiText: "#a2a5b4"
    headerText: "#8f94b8"
    dimText: "#9ea1c4"
    counterText: "#9fa1c2"
    // The brown of the gradient darkened at its hue until the links and the dim text read at 4.5:1
    // down the whole gradient; the popups' surface is darker still.
    gradientTop: "#463523"
    gradientBottom: "#312d2b"
    divider: Qt.rgba(1, 1, 1, 0.12)
    overlayBg: Qt.rgba(0.055, 0.055, 0.067, 0.4)
    actionDisabled: "#141724"
}
