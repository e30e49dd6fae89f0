// The settings store: the input is written as the INI file, then the store (AppState), the reading
// preferences, the interface state with its window fitted to two fixed screens, the reading
// positions and the history are loaded as a start loads them, and saved as quitting saves them.
// Every number must come back within what the window can show.

#include "AppState.h"
#include "BookPositionStore.h"
#include "ChunkChecks.h"
#include "formats/FormatRegistry.h"
#include "FuzzApplication.h"
#include "FuzzLimits.h"
#include "FuzzScratchFile.h"
#include "HistoryModel.h"
#include "ReadingPreferences.h"
#include "StartupSteps.h"
#include "UiState.h"

#include <QFile>
#include <QSettings>

#include <algorithm>
#include <cstdint>

namespace {

const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};

void checkLoaded(const ReadingPreferences& preferences, const UiState& uiState, const HistoryModel& history)
{
    using ChunkChecks::require;
    require(preferences.fontSize() >= 8 && preferences.fontSize() <= 72, "the font size is within bounds");
    require(preferences.lineSpacing() >= 0.1 && preferences.lineSpacing() <= 3.0, "the line spacing is within bounds");
    require(preferences.horizontalMargin() >= 0 && preferences.horizontalMargin() <= 128
                && preferences.verticalMargin() >= 0 && preferences.verticalMargin() <= 128,
            "the margins are within bounds");
    require(uiState.windowWidth() >= 1 && uiState.windowWidth() <= 1920 && uiState.windowHeight() >= 1
                && uiState.windowHeight() <= 1080,
            "the window fits the largest screen");
    const QRect window(uiState.windowX(), uiState.windowY(), uiState.windowWidth(), uiState.windowHeight());
    const bool unplaced = window.topLeft() == QPoint(-1, -1);
    require(unplaced || std::any_of(screens.cbegin(), screens.cend(), [&](const QRect& s) { return s.contains(window.topLeft()); }),
            "a placed window starts on a screen");
    for (int row = 0; row < history.rowCount(); ++row) {
        const double progress = history.progress(row);
        require(progress >= 0 && progress <= 1, "history progress is within 0..1");
        require(!history.filePath(row).isEmpty() && history.lastOpened(row).isValid(), "history rows are whole");
        require(row == 0 || !(history.lastOpened(row - 1) < history.lastOpened(row)), "history is newest first");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzApplication::startGui(); // the history's background reads use the global pool
    // Nearly every input is a damaged store, each worth a warning or two: a flood that only slows
    // the fuzzing. The checks abort on their own.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > FuzzLimits::MaxInputBytes)
        return 0;
    // A new name per input: QSettings caches a parsed file by name, and trusts it while the size
    // and time stamp stay the same, which two quick inputs of one size can share.
    static int counter = 0;
    const QString path = FuzzScratchFile::write(QStringLiteral("store-%1.ini").arg(++counter),
                                                QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    QString keptAside;
    {
        QSettings settings(path, QSettings::IniFormat);
        AppState state(settings);
        keptAside = state.keptAsidePath();
        ReadingPreferences preferences(state);
        UiState uiState(state);
        StartupSteps::fitWindowToScreens(uiState, screens);
        BookPositionStore positions(state);
        // No formats: a stored path is never opened, whatever it names.
        FormatRegistry registry{QList<FormatSpec>()};
        HistoryModel history(registry);
        history.load(state);
        checkLoaded(preferences, uiState, history);

        history.save(state);
        preferences.save();
        uiState.save();
        settings.sync();
    }
    QFile::remove(path);
    if (!keptAside.isEmpty())
        QFile::remove(keptAside);
    return 0;
}
