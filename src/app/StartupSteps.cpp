#include "StartupSteps.h"

#include "UiState.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QtDebug>

#include <algorithm>

namespace {

QList<QRect>::const_iterator areaHolding(const QPoint& place, const QList<QRect>& areas)
{
    return std::find_if(areas.cbegin(), areas.cend(), [place](const QRect& area) { return area.contains(place); });
}

} // namespace

namespace StartupSteps {

void rememberCommandLineBook(const QStringList& arguments, UiState& uiState)
{
    if (arguments.size() > 1 && QFileInfo::exists(arguments.at(1)))
        uiState.setLastFilePath(QFileInfo(arguments.at(1)).absoluteFilePath());
}

QStringList decodedArguments(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QByteArray bytes(argv[i]);
        arguments.append(QFile::decodeName(bytes));
        if (i == 1 && QFile::encodeName(arguments.last()) != bytes) {
            qWarning().noquote() << "The book named on the command line cannot be opened: its name is not valid"
                                 << "in the file name encoding:" << arguments.last();
        }
    }
    return arguments;
}

void fitWindowToScreens(UiState& uiState, const QList<QRect>& availableAreas)
{
    QSize largest;
    for (const QRect& area : availableAreas)
        largest = largest.expandedTo(area.size());
    if (largest.isEmpty())
        return;

    const QSize stored(uiState.windowWidth(), uiState.windowHeight());
    const QSize size = QSize(stored.width() > 0 ? stored.width() : UiState::kDefaultWindowWidth,
                             stored.height() > 0 ? stored.height() : UiState::kDefaultWindowHeight)
                           .boundedTo(largest);
    if (size != stored) {
        qWarning() << "Stored window size" << stored << "does not fit the screens; using" << size;
        uiState.setWindowWidth(size.width());
        uiState.setWindowHeight(size.height());
    }

    const QPoint place(uiState.windowX(), uiState.windowY());
    if (place == QPoint(-1, -1))
        return;
    QPoint fitted(-1, -1);
    const auto home = areaHolding(place, availableAreas);
    if (home != availableAreas.cend()) {
        // The lower bound last: an area smaller than the window holds it at the area's corner.
        fitted.setX(std::max(home->left(), std::min(place.x(), home->left() + home->width() - size.width())));
        fitted.setY(std::max(home->top(), std::min(place.y(), home->top() + home->height() - size.height())));
    }
    if (fitted != place) {
        qWarning() << "Stored window position" << place << "does not fit the screens; using" << fitted;
        uiState.setWindowX(fitted.x());
        uiState.setWindowY(fitted.y());
    }
}

bool isOnScreens(const QPoint& place, const QList<QRect>& availableAreas)
{
    return areaHolding(place, availableAreas) != availableAreas.cend();
}

QList<QRect> availableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.append(screen->availableGeometry());
    return areas;
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
