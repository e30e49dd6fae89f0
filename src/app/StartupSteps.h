#pragma once

// The steps of start-up that decide something, kept out of main() so that they can be tested.
// GUI thread only.

#include <QList>
#include <QRect>
#include <QSGRendererInterface>
#include <QStringList>

class UiState;

namespace StartupSteps {

// A first argument naming an existing file or folder becomes the last file path, made absolute so
// that a later run started elsewhere still finds it. Other arguments are ignored; a missing path
// leaves the stored value alone.
void rememberCommandLineBook(const QStringList& arguments, UiState& uiState);

// The program's arguments (argv after the application object took its own), each decoded the way
// the platform encodes file names (QFile::decodeName). A book path whose bytes do not survive
// decoding (not UTF-8, where Qt decodes file names as UTF-8) cannot be opened by any Qt file call:
// that is logged as a warning instead of failing without a word.
QStringList decodedArguments(int argc, const char* const* argv);

// Makes the stored window geometry one the screens can show, given their available areas: the
// size at most the largest area's (a size of zero or less takes the default first), and a saved
// position that keeps the window's top-left corner on an area, moved left or up as far as needed
// for the window to fit there; a position on no area becomes -1, -1 (none saved). A window of
// 200000 x 200000 pixels would otherwise ask for images past every limit at each start. Every
// change is logged as a warning; without screens nothing changes.
void fitWindowToScreens(UiState& uiState, const QList<QRect>& availableAreas);

// Whether a saved window position counts as on the screens by the rule above: its top-left corner
// lies on one of the available areas.
bool isOnScreens(const QPoint& place, const QList<QRect>& availableAreas);

// The available areas of the screens now attached (without their panels and docks).
QList<QRect> availableScreenAreas();

// The name the start-up line "Rendering API: %s" gives the graphics interface.
const char* renderingApiName(QSGRendererInterface::GraphicsApi api);

} // namespace StartupSteps
