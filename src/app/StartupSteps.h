#pragma once

// The steps of start-up that decide something, kept out of main() so that they can be tested.
// GUI thread only.

#include <QSGRendererInterface>
#include <QStringList>

class UiState;

namespace StartupSteps {

// A first argument naming an existing file or folder becomes the last file path, made absolute so
// that a later run started elsewhere still finds it. Other arguments are ignored; a missing path
// leaves the stored value alone.
void rememberCommandLineBook(const QStringList& arguments, UiState& uiState);

// The name the start-up line "Rendering API: %s" gives the graphics interface.
const char* renderingApiName(QSGRendererInterface::GraphicsApi api);

} // namespace StartupSteps
