#pragma once

// The application menu with its About entry. On macOS the action takes the About role, so the
// platform moves it into its application menu, and it opens the standard About panel through the
// Objective-C runtime. Elsewhere the menu bar belongs to no window, and the About entry shows an
// About box of its own (name, version and icon), which is what a caller triggering it gets.
//
// GUI thread only.

class QMenuBar;

class MacMenuBar {
public:
    MacMenuBar() = delete;

    // A new menu bar without parent; the caller owns it.
    static QMenuBar* create();
    static void showAboutPanel();
};
