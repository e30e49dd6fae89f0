#pragma once

// The open book as the user interface reads it. In text mode each row is one content chunk with its
// laid-out ChunkLayout; in page mode (comics) there are no rows and the comic view asks for page
// pairs and page image URLs. Counts virtual pages (kPageWeight units of chunk weight) and progress, restores
// and saves the reading position per book, and keeps the layouts current: the chunks around the
// reading position are laid out at once, the rest by background runs (BackgroundLayoutRun).
//
// GUI thread only, except the background runs, which see only their own copies and the generation
// token. Every run's future is kept; the destructor supersedes and waits for all of them, so no run
// outlives the model. The reader and the image resolver are not owned and must outlive the model's
// use of them (the image resolver until the model is destroyed).

#include "BackgroundLayoutRun.h"
#include "BookPosition.h"
#include "ChunkLayout.h"
#include "ChunkLayoutEngine.h"
#include "content/ContentModel.h"
#include "formats/FormatReader.h"
#include "LayoutParams.h"
#include "MangaPagination.h"

#include <QAbstractListModel>
#include <QFuture>
#include <QList>
#include <QSet>
#include <QVariantList>

#include <atomic>
#include <memory>

class BookPositionStore;
class IBookImageResolver;
class QTimer;

class ReadingModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(bool isTextMode READ isTextMode NOTIFY modeChanged FINAL)
    Q_PROPERTY(bool isMangaMode READ isMangaMode NOTIFY modeChanged FINAL)
    Q_PROPERTY(bool measuring READ measuring NOTIFY measuringChanged FINAL)
    Q_PROPERTY(double progress READ progress NOTIFY progressChanged FINAL)
    Q_PROPERTY(int currentPage READ currentPage NOTIFY currentPageChanged FINAL)
    Q_PROPERTY(int totalPages READ totalPages NOTIFY totalPagesChanged FINAL)
    Q_PROPERTY(int currentChunk READ currentChunk NOTIFY currentChunkChanged FINAL)
    Q_PROPERTY(int totalPagePairs READ totalPagePairs NOTIFY totalPagePairsChanged FINAL)
    Q_PROPERTY(bool pageShift READ pageShift NOTIFY pageShiftChanged FINAL)
    Q_PROPERTY(bool mangaRTL READ mangaRTL NOTIFY mangaRTLChanged FINAL)
    Q_PROPERTY(bool useBookColours READ useBookColours NOTIFY useBookColoursChanged FINAL)
public:
    enum ReadingRoles {
        ContentRole = Qt::UserRole + 1, // 257
        LayoutRole,
        PixelHeightRole,
    };

    static constexpr int kCharsPerPage = kPageWeight;
    static constexpr int kWindowBefore = 5;
    static constexpr int kWindowAfter = 25;
    static constexpr double kPlaceholderHeight = 60.0;
    static constexpr int kRelayoutDelayMs = 100;
    // Rows whose layouts keep their lines at most; the others keep only their heights, and their
    // lines are laid out again when they are shown. Three windows: the rows around the reader.
    static constexpr int kRowsWithLines = 3 * (kWindowBefore + 1 + kWindowAfter);

    explicit ReadingModel(BookPositionStore& positions, QObject* parent = nullptr);
    // Lays text out through the given engine (and so its text measurer).
    ReadingModel(BookPositionStore& positions, ChunkLayoutEngine engine, QObject* parent = nullptr);
    ~ReadingModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The reader is not owned; the model never touches a reader it was not given last.
    void setReader(FormatReader* reader);
    void setImageResolver(IBookImageResolver* resolver) { m_imageResolver = resolver; }

    bool isTextMode() const { return m_textMode; }
    bool isMangaMode() const { return !m_textMode; }
    bool measuring() const { return m_measuring; }
    double progress() const;
    int currentPage() const { return m_currentPage; }
    int totalPages() const { return m_totalPages; }
    int currentChunk() const { return m_currentChunk; }
    int totalPagePairs() const { return m_pagination.count(); }
    bool pageShift() const { return m_pageShift; }
    bool mangaRTL() const { return m_mangaRTL; }
    bool useBookColours() const { return m_useBookColours; }

    Q_INVOKABLE void updateLayoutMetrics(int contentWidth, int fontSize, double lineSpacing, int anchorChunk = -1);
    Q_INVOKABLE void setScrollInfo(int topChunkIndex, double proportion);
    Q_INVOKABLE void setScrollPosition(int topChunkIndex, double intraOffset, double proportion);
    Q_INVOKABLE QVariantList pagePair(int pairIndex) const;
    Q_INVOKABLE int pairIndexForChunk(int chunkIndex) const;
    Q_INVOKABLE QString imageUrlForChunk(int chunkIndex) const;
    Q_INVOKABLE void setMangaLandscape(bool landscape);
    Q_INVOKABLE void setPageShift(bool shift, int currentPairIndex = 0);
    Q_INVOKABLE void setMangaRTL(bool rtl);
    Q_INVOKABLE void setUseBookColours(bool enabled);

    int calculatePageFromPosition(int chunk, double intraOffset) const;
    void saveCurrentPosition(int chunk, double intraOffset);
    // Lays a row out on demand when it holds no real layout yet.
    void ensureChunkLayout(int row) const;
    // How many rows keep the lines of their layouts now (at most kRowsWithLines).
    int rowsWithLines() const { return int(m_rowsWithLines.size()); }
    // How many rows hold their prepared chunks now (all of an ordinary book's; PreparedRetention).
    int preparedRows() const;
    void startLayoutMeasurement(int anchorChunk, double intraOffset);
    void runRemainingLayout();
    // Teardown, before the global pool is drained: every run becomes stale, a run not started yet
    // never starts, and a running one stops after the chunks its threads are on. Does not wait.
    // The model stays usable (a later metrics change or book starts afresh).
    void cancelBackgroundWork();
    void loadPages();
    void rebuildPagePairs();
    // The image at `url` can be had now (a download arrived, a decode told its size): the chunks
    // prepared without its size are prepared and laid out again, and every row showing it is
    // announced so that it is painted. Rows above the reading position change height the way a
    // background run changes them, so the view keeps its place.
    void imageResolved(const QString& url);

Q_SIGNALS:
    void modeChanged();
    void measuringChanged();
    void progressChanged();
    void currentPageChanged();
    void totalPagesChanged();
    void currentChunkChanged();
    void totalPagePairsChanged();
    void pageShiftChanged();
    void mangaRTLChanged();
    void useBookColoursChanged();
    void pagePairsRebuilt(int newPairIndex);
    void restoreReady(int chunkIndex, double intraOffset = 0.0);
    void positionSaved();

private:
    // Emits currentPageChanged only when the page differs.
    void setCurrentPage(int page);
    LayoutParams layoutParams() const;
    bool hasRealLayout(int row) const;
    // Prepares the row if it has not been yet, then lays it out with the current metrics; without
    // lines, only its height is kept.
    void layoutRow(int row, bool withLines = true) const;
    void ensureLines(int row) const;
    // Past kRowsWithLines, the rows farthest from `row` keep only their heights (and, in a large
    // book, lose their prepared chunks).
    void dropLinesFarFrom(int row) const;
    void setWindow(int anchor);
    void announceRows(int first, int last);
    void advanceGeneration();
    void setMeasuring(bool measuring);
    // A measurement run (prepare what is missing, lay everything out) or a relayout run; a relayout
    // over chunks not all prepared yet becomes a measurement run.
    void startRun(bool measure);
    void onMeasurementDone(const BackgroundLayoutRun& run);
    void onRelayoutDone(const BackgroundLayoutRun& run);
    void installLayouts(const BackgroundLayoutRun& run);
    void clearPages();
    // The stages of setReader.
    void clearRows();
    void setTextMode(bool textMode);
    void applySavedPosition(const BookPosition& saved);
    void openTextBook(const BookPosition& saved);
    // The current chunk and the page count of a book just opened, from its saved chunk.
    void placeReader(int savedChunk);
    void openComicBook(const BookPosition& saved);
    bool settleImagesIn(int row);

    ChunkLayoutEngine m_engine;
    FormatReader* m_reader = nullptr;
    IBookImageResolver* m_imageResolver = nullptr;
    bool m_textMode = false;
    bool m_measuring = false;
    int m_currentPage = 0;
    int m_totalPages = 0;
    int m_currentChunk = 0;
    QList<ContentChunk> m_chunks;
    QList<qint64> m_weightPrefix;
    // Filled on demand from const data(), hence mutable; GUI thread only like everything else.
    mutable QList<ChunkLayoutEngine::PreparedChunk> m_prepared;
    mutable QList<ChunkLayout> m_layouts;
    mutable QSet<int> m_rowsWithLines; // the layouts holding their lines; the rest are heights
    // Whether every chunk keeps its prepared record, or only the rows holding lines do
    // (PreparedRetention: a large book).
    bool m_keepsAllPrepared = true;
    int m_windowFirst = -1;
    int m_windowLast = -1;
    int m_contentWidth = 600;
    int m_fontSize = 16;
    double m_lineSpacing = 1.0;
    int m_generation = 0;
    // Mirrors m_generation for the runs on the pool; only the GUI thread writes it.
    std::shared_ptr<std::atomic<int>> m_generationToken = std::make_shared<std::atomic<int>>(0);
    QList<QFuture<void>> m_layoutTasks;
    QTimer* m_layoutTimer = nullptr;
    bool m_landscape = false;
    bool m_pageShift = true;
    bool m_mangaRTL = true;
    bool m_useBookColours = false;
    // Images settled since the book opened: a background run that began before may deliver chunks
    // prepared without them.
    QSet<QString> m_settledImages;
    QList<ComicPage> m_pages;
    MangaPagination m_pagination;
    double m_progress = 0.0;
    double m_intraOffset = 0.0;
    BookPositionStore& m_positions;
};
