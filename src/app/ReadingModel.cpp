#include "ReadingModel.h"

#include "BookPositionStore.h"
#include "PreparedRetention.h"
#include "RelativeCompare.h"

#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A whole-book run leaves the pool threads' heaps full of freed scratch space (the pieces of
// every word measured); glibc keeps it resident unless asked. Takes well under a millisecond.
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

ChunkLayout placeholderLayout()
{
    ChunkLayout layout;
    layout.height = ReadingModel::kPlaceholderHeight;
    return layout;
}

} // namespace

ReadingModel::ReadingModel(BookPositionStore& positions, QObject* parent)
    : ReadingModel(positions, ChunkLayoutEngine(), parent)
{
}

ReadingModel::ReadingModel(BookPositionStore& positions, ChunkLayoutEngine engine, QObject* parent)
    : QAbstractListModel(parent)
    , m_engine(std::move(engine))
    , m_layoutTimer(new QTimer(this))
    , m_positions(positions)
{
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(kRelayoutDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, &ReadingModel::runRemainingLayout);
}

ReadingModel::~ReadingModel()
{
    cancelBackgroundWork();
    for (QFuture<void>& task : m_layoutTasks)
        task.waitForFinished();
    // Results already posted are discarded with this object's pending events.
}

void ReadingModel::cancelBackgroundWork()
{
    m_layoutTimer->stop();
    advanceGeneration();
    for (QFuture<void>& task : m_layoutTasks)
        task.cancel(); // a run that has not started yet never does
}

// ---- rows ----------------------------------------------------------------------------------------

int ReadingModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_textMode)
        return 0;
    return int(m_chunks.size());
}

QHash<int, QByteArray> ReadingModel::roleNames() const
{
    static const QHash<int, QByteArray> names{
        {ContentRole, "content"},
        {LayoutRole, "layout"},
        {PixelHeightRole, "pixelHeight"},
    };
    return names;
}

QVariant ReadingModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_textMode || index.row() >= m_chunks.size())
        return QVariant();
    const int row = index.row();
    switch (role) {
    case ContentRole:
        return m_chunks.at(row).id;
    case LayoutRole:
        ensureChunkLayout(row);
        ensureLines(row);
        return QVariant::fromValue(m_layouts.at(row));
    case PixelHeightRole:
        ensureChunkLayout(row);
        return double(m_layouts.at(row).height);
    default:
        return QVariant();
    }
}

bool ReadingModel::hasRealLayout(int row) const
{
    if (row >= m_layouts.size())
        return false;
    // A placeholder was laid out for no width; a chunk with no lines (an empty book) has a real
    // layout of height 0 all the same, and laying it out again would give the same.
    return m_layouts.at(row).width > 0;
}

LayoutParams ReadingModel::layoutParams() const
{
    LayoutParams params;
    params.width = m_contentWidth;
    params.fontSize = m_fontSize;
    params.lineHeight = m_lineSpacing;
    return params;
}

void ReadingModel::layoutRow(int row, bool withLines) const
{
    if (m_prepared.at(row).isEmpty() && !m_chunks.at(row).blocks.isEmpty())
        m_prepared[row] = m_engine.prepareChunk(m_chunks.at(row), m_fontSize, m_imageResolver);
    const ChunkLayout layout = m_engine.layoutPreparedChunk(m_prepared.at(row), layoutParams());
    if (!withLines) {
        m_layouts[row] = ChunkLayoutEngine::heightOf(layout);
        m_rowsWithLines.remove(row);
        return;
    }
    m_layouts[row] = layout;
    m_rowsWithLines.insert(row);
    dropLinesFarFrom(row);
}

void ReadingModel::ensureLines(int row) const
{
    if (row >= 0 && row < m_layouts.size() && !m_rowsWithLines.contains(row))
        layoutRow(row);
}

void ReadingModel::dropLinesFarFrom(int row) const
{
    if (m_rowsWithLines.size() <= kRowsWithLines)
        return;
    for (auto held = m_rowsWithLines.begin(); held != m_rowsWithLines.end();) {
        if (std::abs(*held - row) > kRowsWithLines / 2) {
            m_layouts[*held] = ChunkLayoutEngine::heightOf(m_layouts.at(*held));
            if (!PreparedRetention::keeps(m_prepared.at(*held), m_keepsAllPrepared, false))
                m_prepared[*held] = ChunkLayoutEngine::PreparedChunk();
            held = m_rowsWithLines.erase(held);
        } else {
            ++held;
        }
    }
}

int ReadingModel::preparedRows() const
{
    return int(std::count_if(m_prepared.cbegin(), m_prepared.cend(),
                             [](const ChunkLayoutEngine::PreparedChunk& prepared) { return !prepared.isEmpty(); }));
}

void ReadingModel::ensureChunkLayout(int row) const
{
    if (row < 0 || row >= m_chunks.size() || hasRealLayout(row))
        return;
    m_prepared.resize(m_chunks.size());
    m_layouts.resize(m_chunks.size());
    layoutRow(row);
}

// ---- book ----------------------------------------------------------------------------------------

void ReadingModel::setReader(FormatReader* reader)
{
    // Whatever ran for the previous book is superseded, even when no new run starts.
    m_layoutTimer->stop();
    advanceGeneration();
    m_reader = reader;
    clearRows();
    setTextMode(reader && reader->contentKind() == ContentKind::Text);
    // The book's own position and reading choices, before its rows or pages exist.
    const BookPosition saved = reader ? m_positions.load(reader->contentHash()) : BookPosition();
    applySavedPosition(saved);
    if (m_textMode)
        openTextBook(saved);
    else
        openComicBook(saved);
}

void ReadingModel::clearRows()
{
    beginResetModel();
    m_chunks.clear();
    m_prepared.clear();
    m_layouts.clear();
    m_rowsWithLines.clear();
    m_settledImages.clear();
    m_weightPrefix.clear();
    m_windowFirst = m_windowLast = -1;
    endResetModel();
}

void ReadingModel::setTextMode(bool textMode)
{
    if (textMode == m_textMode)
        return;
    m_textMode = textMode;
    Q_EMIT modeChanged();
}

void ReadingModel::applySavedPosition(const BookPosition& saved)
{
    const bool shiftChanged = saved.pageShift != m_pageShift;
    const bool directionChanged = saved.mangaRTL != m_mangaRTL;
    m_progress = saved.progress;
    m_intraOffset = saved.intraOffset;
    m_pageShift = saved.pageShift;
    m_mangaRTL = saved.mangaRTL;
    m_useBookColours = saved.useBookColours;
    Q_EMIT progressChanged();
    Q_EMIT useBookColoursChanged();
    // Bindings (footer toggles, page placement) must see the book's own values.
    if (shiftChanged)
        Q_EMIT pageShiftChanged();
    if (directionChanged)
        Q_EMIT mangaRTLChanged();
}

void ReadingModel::openTextBook(const BookPosition& saved)
{
    clearPages();
    beginResetModel();
    m_chunks = m_reader->chunks();
    m_weightPrefix.reserve(m_chunks.size() + 1);
    m_weightPrefix.append(0);
    for (const ContentChunk& chunk : std::as_const(m_chunks))
        m_weightPrefix.append(m_weightPrefix.last() + chunk.weight);
    m_keepsAllPrepared = PreparedRetention::keepsAll(m_weightPrefix.last());
    placeReader(saved.chunkIndex);
    m_currentPage = calculatePageFromPosition(m_currentChunk, m_intraOffset);
    endResetModel();
    Q_EMIT totalPagesChanged();
    Q_EMIT currentPageChanged();
    Q_EMIT currentChunkChanged();
    if (m_chunks.isEmpty()) {
        setMeasuring(false);
        Q_EMIT restoreReady(0, 0.0); // nothing to lay out, but the view must not wait for ever
    } else {
        startLayoutMeasurement(m_currentChunk, m_intraOffset);
    }
}

void ReadingModel::placeReader(int savedChunk)
{
    if (m_chunks.isEmpty()) {
        m_currentChunk = 0;
        m_totalPages = 0;
        return;
    }
    const qint64 total = m_weightPrefix.last();
    m_totalPages = int(std::max<qint64>(1, (total + kCharsPerPage - 1) / kCharsPerPage));
    const int last = int(m_chunks.size()) - 1;
    if (savedChunk > last) {
        // The book changed since the position was saved: keep the reader at its end.
        m_currentChunk = last;
        m_intraOffset = 0.0;
    } else {
        m_currentChunk = std::max(savedChunk, 0);
    }
}

void ReadingModel::openComicBook(const BookPosition& saved)
{
    setMeasuring(false);
    loadPages();
    if (!m_reader)
        return;
    const int count = int(m_pages.size());
    const int page = count == 0 || saved.chunkIndex < 0 ? 0 : std::min(saved.chunkIndex, count - 1);
    const int generation = m_generation;
    // Queued so that the view, created or reset by this very change, is listening; dropped when
    // another book was installed meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this, page, generation] {
            if (generation == m_generation)
                Q_EMIT restoreReady(page, 0.0);
        },
        Qt::QueuedConnection);
}

double ReadingModel::progress() const
{
    return std::clamp(m_progress, 0.0, 1.0);
}

int ReadingModel::calculatePageFromPosition(int chunk, double intraOffset) const
{
    if (!m_textMode)
        return m_pagination.pairIndexForChunk(chunk) + 1;
    if (m_chunks.isEmpty() || m_totalPages < 1)
        return 0;
    chunk = std::clamp(chunk, 0, int(m_chunks.size()) - 1);
    double fraction = 0.0;
    if (hasRealLayout(chunk) && m_layouts.at(chunk).height > 0)
        fraction = std::clamp(intraOffset / m_layouts.at(chunk).height, 0.0, 1.0);
    if (std::isnan(fraction))
        fraction = 0.0;
    const double offset = double(m_weightPrefix.value(chunk, 0)) + fraction * m_chunks.at(chunk).weight;
    const double page = std::trunc(offset / kCharsPerPage);
    if (page < 0)
        return 1;
    return int(std::min<double>(m_totalPages, page + 1));
}

void ReadingModel::setScrollInfo(int topChunkIndex, double proportion)
{
    setScrollPosition(topChunkIndex, 0.0, proportion);
}

void ReadingModel::setScrollPosition(int topChunkIndex, double intraOffset, double proportion)
{
    const int count = int(m_textMode ? m_chunks.size() : m_pages.size());
    if (topChunkIndex < 0 || topChunkIndex > count - 1)
        return;
    if (!std::isfinite(intraOffset))
        intraOffset = 0.0;
    m_intraOffset = intraOffset;
    if (topChunkIndex != m_currentChunk) {
        m_currentChunk = topChunkIndex;
        Q_EMIT currentChunkChanged();
    }
    const double clamped = std::isnan(proportion) ? m_progress : std::clamp(proportion, 0.0, 1.0);
    if (!relativelyEqual(clamped, m_progress)) {
        m_progress = clamped;
        Q_EMIT progressChanged();
    }
    setCurrentPage(calculatePageFromPosition(topChunkIndex, intraOffset));
    saveCurrentPosition(topChunkIndex, intraOffset);
}

void ReadingModel::setCurrentPage(int page)
{
    if (page == m_currentPage)
        return;
    m_currentPage = page;
    Q_EMIT currentPageChanged();
}

void ReadingModel::saveCurrentPosition(int chunk, double intraOffset)
{
    if (!m_reader)
        return;
    m_positions.save(m_reader->contentHash(),
                     BookPosition{chunk, intraOffset, m_progress, m_pageShift, m_mangaRTL, m_useBookColours});
    Q_EMIT positionSaved();
}

void ReadingModel::setUseBookColours(bool enabled)
{
    if (enabled == m_useBookColours)
        return;
    m_useBookColours = enabled;
    if (m_reader) {
        m_positions.setUseBookColours(m_reader->contentHash(), enabled);
        Q_EMIT positionSaved();
    }
    Q_EMIT useBookColoursChanged();
}

// ---- layout --------------------------------------------------------------------------------------

void ReadingModel::updateLayoutMetrics(int contentWidth, int fontSize, double lineSpacing, int anchorChunk)
{
    if (contentWidth <= 0 || fontSize <= 0 || !(lineSpacing > 0) || !std::isfinite(lineSpacing))
        return;
    // A view wider than any screen or narrower than a few words is held to what the layout can use.
    contentWidth = std::clamp(contentWidth, int(LayoutParams::kMinWidth), int(LayoutParams::kMaxWidth));
    if (contentWidth == m_contentWidth && fontSize == m_fontSize && relativelyEqual(lineSpacing, m_lineSpacing))
        return;
    const bool fontChanged = fontSize != m_fontSize;
    m_contentWidth = contentWidth;
    m_fontSize = fontSize;
    m_lineSpacing = lineSpacing;

    // The comic view's hidden text view keeps reporting widths: rows exist only in text mode.
    if (!m_textMode || m_chunks.isEmpty())
        return;
    const int last = int(m_chunks.size()) - 1;
    const int anchor = std::min(anchorChunk < 0 ? std::max(m_currentChunk, 0) : anchorChunk, last);

    if (fontChanged || m_prepared.size() != m_chunks.size()) {
        m_layoutTimer->stop();
        startLayoutMeasurement(anchor, m_intraOffset);
        return;
    }

    // Only width or spacing: the window now, the rest in one background pass after the burst. Any
    // outstanding run used the old metrics, so it is superseded; the relayout prepares whatever that
    // run had not delivered yet, and clears `measuring` when it is done.
    advanceGeneration();
    setWindow(anchor);
    m_layouts.resize(m_chunks.size());
    for (int row = m_windowFirst; row <= m_windowLast; ++row)
        layoutRow(row);
    announceRows(m_windowFirst, m_windowLast);
    m_layoutTimer->start();
}

void ReadingModel::setWindow(int anchor)
{
    m_windowFirst = std::max(anchor, kWindowBefore) - kWindowBefore;
    m_windowLast = std::min(anchor + kWindowAfter, int(m_chunks.size()) - 1);
}

void ReadingModel::announceRows(int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, int(m_chunks.size()) - 1);
    if (first <= last)
        Q_EMIT dataChanged(index(first), index(last), {LayoutRole, PixelHeightRole});
}

void ReadingModel::startLayoutMeasurement(int anchorChunk, double intraOffset)
{
    m_layoutTimer->stop();
    if (!m_textMode || m_chunks.isEmpty()) {
        m_prepared.clear();
        m_layouts.clear();
        setMeasuring(false);
        return;
    }
    m_measuring = true;
    Q_EMIT measuringChanged();
    advanceGeneration();

    const int count = int(m_chunks.size());
    const int anchor = std::clamp(anchorChunk, 0, count - 1);
    // Preparation depends on the font size, so nothing prepared before can be kept.
    m_prepared = QList<ChunkLayoutEngine::PreparedChunk>(count);
    m_layouts = QList<ChunkLayout>(count, placeholderLayout());
    m_rowsWithLines.clear();
    setWindow(anchor);
    for (int row = m_windowFirst; row <= m_windowLast; ++row)
        layoutRow(row);
    announceRows(m_windowFirst, m_windowLast);
    // The page was counted before the chunk had its real height, without the offset into it.
    setCurrentPage(calculatePageFromPosition(m_currentChunk, m_intraOffset));
    Q_EMIT restoreReady(anchor, intraOffset);

    if (m_windowFirst > 0 || m_windowLast < count - 1)
        startRun(true);
    else
        setMeasuring(false);
}

void ReadingModel::runRemainingLayout()
{
    if (!m_textMode || m_prepared.isEmpty())
        return;
    advanceGeneration();
    startRun(false);
}

void ReadingModel::startRun(bool measure)
{
    BackgroundLayoutRun run;
    // The rows nobody looks at keep their heights only; the rows shown keep their lines.
    run.engine = m_engine.heightsOnly();
    run.chunks = m_chunks;
    run.prepared = m_prepared;
    run.fontSize = m_fontSize;
    run.params = layoutParams();
    run.resolver = m_imageResolver;
    run.windowFirst = m_windowFirst;
    run.windowLast = m_windowLast;
    run.keepsAllPrepared = m_keepsAllPrepared;
    run.generation = m_generation;
    run.currentGeneration = m_generationToken;

    // A relayout right after a book opened finishes what the superseded measurement had not.
    measure = measure || run.needsPreparation();

    m_layoutTasks.removeIf([](const QFuture<void>& task) { return task.isFinished(); });
    // `this` stays valid in the tasks: the destructor waits for them before the object goes.
    if (measure) {
        m_layoutTasks.append(QtConcurrent::run(QThreadPool::globalInstance(), [this, run]() mutable {
            if (run.measurementTask())
                QMetaObject::invokeMethod(this, [this, run] { onMeasurementDone(run); }, Qt::QueuedConnection);
        }));
    } else {
        m_layoutTasks.append(QtConcurrent::run(QThreadPool::globalInstance(), [this, run]() mutable {
            if (run.relayoutTask())
                QMetaObject::invokeMethod(this, [this, run] { onRelayoutDone(run); }, Qt::QueuedConnection);
        }));
    }
}

void ReadingModel::onMeasurementDone(const BackgroundLayoutRun& run)
{
    if (run.generation != m_generation || run.layouts.size() != m_chunks.size())
        return;
    // A large book's run kept only its window's prepared chunks; the rows shown since keep theirs.
    QList<ChunkLayoutEngine::PreparedChunk> prepared = run.prepared;
    for (const int row : std::as_const(m_rowsWithLines)) {
        if (prepared.at(row).isEmpty())
            prepared[row] = m_prepared.at(row);
    }
    m_prepared = prepared;
    installLayouts(run);
}

void ReadingModel::onRelayoutDone(const BackgroundLayoutRun& run)
{
    if (run.generation != m_generation || run.layouts.size() != m_chunks.size())
        return;
    installLayouts(run);
}

void ReadingModel::installLayouts(const BackgroundLayoutRun& run)
{
    QList<ChunkLayout> layouts = run.layouts;
    // Rows laid out here with the run's metrics keep their lines; any other lost them to the run.
    for (auto held = m_rowsWithLines.begin(); held != m_rowsWithLines.end();) {
        const ChunkLayout& mine = m_layouts.at(*held);
        const ChunkLayout& theirs = layouts.at(*held);
        if (mine.width == theirs.width && mine.height == theirs.height) {
            layouts[*held] = mine;
            ++held;
        } else {
            held = m_rowsWithLines.erase(held);
        }
    }
    m_layouts = layouts;
    returnFreedMemory();
    // A relayout of a fully prepared book leaves nothing to measure either.
    setMeasuring(false);
    if (m_layouts.isEmpty())
        return;
    for (int row = 0; row < m_prepared.size(); ++row) {
        if (settleImagesIn(row))
            announceRows(row, row);
    }
    if (run.windowFirst < 0 && run.windowLast < 0) {
        announceRows(0, int(m_layouts.size()) - 1);
        return;
    }
    // The window already shows these layouts; only the rows around it change.
    announceRows(0, run.windowFirst - 1);
    announceRows(run.windowLast + 1, int(m_layouts.size()) - 1);
}

void ReadingModel::advanceGeneration()
{
    ++m_generation;
    m_generationToken->store(m_generation);
}

void ReadingModel::setMeasuring(bool measuring)
{
    if (measuring == m_measuring)
        return;
    m_measuring = measuring;
    Q_EMIT measuringChanged();
}

void ReadingModel::imageResolved(const QString& url)
{
    if (!m_textMode || url.isEmpty())
        return;
    m_settledImages.insert(url);
    for (int row = 0; row < m_prepared.size(); ++row) {
        bool shows = settleImagesIn(row);
        for (qsizetype i = 0; !shows && row < m_layouts.size() && i < m_layouts.at(row).images.size(); ++i)
            shows = m_layouts.at(row).images.at(i).source == url;
        if (shows)
            announceRows(row, row);
    }
}

bool ReadingModel::settleImagesIn(int row)
{
    const ChunkLayoutEngine::PreparedChunk& prepared = m_prepared.at(row);
    bool stale = false;
    for (auto size = prepared.imageSizes.cbegin(); size != prepared.imageSizes.cend() && !stale; ++size)
        stale = !(size->width() > 0 && size->height() > 0) && m_settledImages.contains(size.key());
    if (!stale)
        return false;
    const bool laidOut = hasRealLayout(row);
    m_prepared[row] = ChunkLayoutEngine::PreparedChunk();
    // A row not laid out yet is prepared anew when it is needed.
    if (laidOut)
        layoutRow(row, m_rowsWithLines.contains(row));
    return laidOut;
}

// ---- comic pages ---------------------------------------------------------------------------------

void ReadingModel::clearPages()
{
    m_pages.clear();
    if (m_pagination.count() == 0)
        return;
    m_pagination.clear();
    Q_EMIT totalPagePairsChanged();
}

void ReadingModel::loadPages()
{
    m_pages.clear();
    m_weightPrefix.clear();
    if (m_currentChunk != 0) {
        m_currentChunk = 0;
        Q_EMIT currentChunkChanged();
    }
    setCurrentPage(0);
    if (m_totalPages != 0) {
        m_totalPages = 0;
        Q_EMIT totalPagesChanged();
    }
    if (m_reader && m_reader->contentKind() != ContentKind::Text)
        m_pages = m_reader->pages();
    rebuildPagePairs();
}

void ReadingModel::rebuildPagePairs()
{
    const int oldCount = m_pagination.count();
    if (m_pages.isEmpty()) {
        m_pagination.clear();
        if (m_pagination.count() != oldCount)
            Q_EMIT totalPagePairsChanged();
        if (m_totalPages != 0) {
            m_totalPages = 0;
            Q_EMIT totalPagesChanged();
        }
        return;
    }
    QList<QSize> sizes;
    sizes.reserve(m_pages.size());
    for (const ComicPage& page : std::as_const(m_pages))
        sizes.append(page.size);
    m_pagination.rebuild(sizes, m_landscape, m_pageShift);
    if (m_pagination.count() != oldCount)
        Q_EMIT totalPagePairsChanged();
    if (m_totalPages != m_pagination.count()) {
        m_totalPages = m_pagination.count();
        Q_EMIT totalPagesChanged();
    }
    if (m_currentPage == 0 && m_pagination.count() > 0)
        setCurrentPage(1);
}

QVariantList ReadingModel::pagePair(int pairIndex) const
{
    if (pairIndex < 0 || pairIndex >= m_pagination.count())
        return {};
    const PagePair pair = m_pagination.at(pairIndex);
    if (pair.right < 0)
        return {pair.left};
    return {pair.left, pair.right};
}

int ReadingModel::pairIndexForChunk(int chunkIndex) const
{
    return m_pagination.pairIndexForChunk(chunkIndex);
}

QString ReadingModel::imageUrlForChunk(int chunkIndex) const
{
    if (chunkIndex < 0 || chunkIndex >= m_pages.size())
        return QString();
    return m_pages.at(chunkIndex).entry;
}

void ReadingModel::setMangaLandscape(bool landscape)
{
    if (landscape == m_landscape)
        return;
    m_landscape = landscape;
    // A text book has no pairs; its page count must not be touched by the hidden comic view.
    if (!m_textMode)
        rebuildPagePairs();
}

void ReadingModel::setPageShift(bool shift, int currentPairIndex)
{
    if (shift == m_pageShift)
        return;
    if (m_textMode) {
        // Nothing to regroup, and the text book's saved position must stay as the view left it.
        m_pageShift = shift;
        Q_EMIT pageShiftChanged();
        return;
    }
    const int anchor = m_pagination.anchorChunkForShiftToggle(currentPairIndex, shift);
    m_pageShift = shift;
    rebuildPagePairs();
    const int newPair = m_pagination.pairIndexForChunk(anchor);
    setCurrentPage(newPair + 1);
    saveCurrentPosition(anchor, 0.0);
    Q_EMIT pageShiftChanged();
    Q_EMIT pagePairsRebuilt(newPair);
}

void ReadingModel::setMangaRTL(bool rtl)
{
    if (rtl == m_mangaRTL)
        return;
    m_mangaRTL = rtl;
    if (m_reader && !m_textMode) {
        const int page = m_currentPage >= 1 ? m_pagination.at(m_currentPage - 1).left : 0;
        saveCurrentPosition(std::max(page, 0), 0.0);
    }
    Q_EMIT mangaRTLChanged();
}
