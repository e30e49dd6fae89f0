#include "StartupSteps.h"

#include "UiState.h"

#include <QFileInfo>

namespace StartupSteps {

void rememberCommandLineBook(const QStringList& arguments, UiState& uiState)
{
    if (arguments.size() > 1 && QFileInfo::exists(arguments.at(1)))
        uiState.setLastFilePath(QFileInfo(arguments.at(1)).absoluteFilePath());
}

const char* renderingApiName(QSGRendererInterface::GraphicsApi api)
{
    // By value: Qt 6.4 does not yet name Direct3D 12 (8).
    switch (int(api)) {
    case 1: return "Software";
    case 3: return "OpenGL";
    case 4: return "Direct3D 11";
    case 5: return "Vulkan";
    case 6: return "Metal";
    case 7: return "Null";
    case 8: return "Direct3D 12";
    }
    return "Unknown";
}

} // namespace StartupSteps
