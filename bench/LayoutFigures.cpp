#include "LayoutFigures.h"

#include "ChunkLayoutDump.h"
#include "ChunkLayoutEngine.h"
#include "FirstFitBreaker.h"
#include "LayoutBytes.h"
#include "PreparedRetention.h"
#include "TimedImageResolver.h"

#include <QElapsedTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace {

// The reading model lays out the chunks from 5 before to 25 after the reading position at once.
constexpr int kFirstWindow = 31;

using PreparedChunk = ChunkLayoutEngine::PreparedChunk;

// One chunk laid out: what the book keeps of it, and what the figures count.
struct ChunkLaidOut {
    ChunkLayout kept;
    qsizetype lines = 0;
    qsizetype images = 0;
};

struct LaidOut {
    QList<ChunkLayout> layouts;
    qsizetype lines = 0;
    qsizetype images = 0;
    double height = 0;
};

struct Ratios {
    QList<double> totalFit;
    QList<double> firstFit;
};

// Absolute ratios of the lines of justified paragraphs that do not end them (nor a line break).
// A line with nothing to stretch or shrink (a lone word, ratio 10000 or -10000) has no ratio to
// speak of and is left out.
void collect(QList<double>& out, const QList<KnuthPlass::Item>& items, const QList<KnuthPlass::Line>& lines)
{
    constexpr double kUnadjustable = 10000;
    for (const KnuthPlass::Line& line : lines) {
        const KnuthPlass::Item& end = items[line.end];
        if (end.type == KnuthPlass::Penalty && end.penalty <= -KnuthPlass::kInfinity)
            continue;
        if (std::abs(line.ratio) >= kUnadjustable)
            continue;
        out.append(std::abs(line.ratio));
    }
}

double mean(const QList<double>& values)
{
    if (values.isEmpty())
        return 0;
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / values.size();
}

double percentile95(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype index = qsizetype(std::ceil(0.95 * values.size())) - 1;
    return values[std::clamp<qsizetype>(index, 0, values.size() - 1)];
}

double milliseconds(const QElapsedTimer& timer)
{
    return timer.nsecsElapsed() / 1e6;
}

QString field(const char* key, double value, int decimals = 1)
{
    return QStringLiteral("%1=%2").arg(QLatin1String(key), QString::number(value, 'f', decimals));
}

bool takeNumber(QStringList& arguments, qsizetype at, double minimum, double& value, QString* error)
{
    const QString name = arguments[at];
    bool ok = false;
    const double parsed = at + 1 < arguments.size() ? arguments[at + 1].toDouble(&ok) : 0;
    if (!ok || !(parsed >= minimum)) {
        if (error)
            *error = QStringLiteral("%1 needs a number of at least %2").arg(name).arg(minimum);
        return false;
    }
    value = parsed;
    arguments.remove(at, 2);
    return true;
}

// "<chunk>.<line> ..." for every line, y in the whole column (the chunks stacked), so that gaps
// compare across chunk boundaries.
QStringList dumpOf(const QList<ChunkLayout>& layouts, bool runs)
{
    QStringList dump;
    double top = 0;
    for (qsizetype c = 0; c < layouts.size(); ++c) {
        const QStringList chunkLines = runs ? ChunkLayoutDump::runs(layouts[c], top) : ChunkLayoutDump::lines(layouts[c], top);
        top += layouts[c].height;
        for (qsizetype l = 0; l < chunkLines.size(); ++l)
            dump.append(QStringLiteral("%1.%2 %3").arg(c).arg(l).arg(chunkLines[l]));
    }
    return dump;
}

// What the stages of one measurement share: the engine, the reading settings, and the resolver
// the images are measured through (null for none).
struct Stages {
    ChunkLayoutEngine engine;
    LayoutParams params;
    IBookImageResolver* images = nullptr;
    bool keepsLines = false; // the layouts keep their lines, to be dumped
};

// The window the reading model lays out on the GUI thread while the book opens.
void layOutFirstWindow(const Stages& stages, const QList<ContentChunk>& chunks, qsizetype window)
{
    for (qsizetype i = 0; i < window; ++i)
        stages.engine.layoutPreparedChunk(stages.engine.prepareChunk(chunks[i], stages.params.fontSize, stages.images),
                                          stages.params);
}

QList<PreparedChunk> prepareAll(const Stages& stages, const QList<ContentChunk>& chunks)
{
    auto prepare = [engine = stages.engine, fontSize = stages.params.fontSize,
                    images = stages.images](const ContentChunk& chunk) {
        return engine.prepareChunk(chunk, fontSize, images);
    };
    auto append = [](QList<PreparedChunk>& list, const PreparedChunk& p) { list.append(p); };
    return QtConcurrent::blockingMappedReduced<QList<PreparedChunk>>(chunks, prepare, append,
                                                                     QtConcurrent::OrderedReduce);
}

// As the reading model's background run keeps them: the heights only (all the lines when they
// are dumped).
ChunkLaidOut layOutOne(const Stages& stages, const PreparedChunk& chunk, const LayoutParams& at)
{
    const ChunkLayout layout = stages.engine.layoutPreparedChunk(chunk, at);
    return ChunkLaidOut{stages.keepsLines ? layout : ChunkLayoutEngine::heightOf(layout), layout.lines.size(),
                        layout.images.size()};
}

void keep(LaidOut& all, const ChunkLaidOut& one)
{
    all.lines += one.lines;
    all.images += one.images;
    all.height += one.kept.height;
    all.layouts.append(one.kept);
}

LaidOut layOutAll(const Stages& stages, const QList<PreparedChunk>& prepared, const LayoutParams& at)
{
    auto layOut = [&stages, at](const PreparedChunk& chunk) { return layOutOne(stages, chunk, at); };
    return QtConcurrent::blockingMappedReduced<LaidOut>(prepared, layOut, keep, QtConcurrent::OrderedReduce);
}

// The same paragraphs again, watching the breaks, and first fit on the same items.
Ratios ratiosOfChunk(const Stages& stages, const PreparedChunk& chunk)
{
    Ratios ratios;
    const LineBreakObserver observer = [&ratios](const PreparedParagraph& paragraph,
                                                 const QList<KnuthPlass::Item>& items, double lineWidth,
                                                 const QList<KnuthPlass::Line>& lines) {
        if (paragraph.align != TextAlign::Justify || paragraph.preformatted)
            return;
        collect(ratios.totalFit, items, lines);
        collect(ratios.firstFit, items, FirstFitBreaker::breakLines(items, lineWidth));
    };
    stages.engine.layoutPreparedChunk(chunk, stages.params, observer);
    return ratios;
}

void add(Ratios& all, const Ratios& one)
{
    all.totalFit += one.totalFit;
    all.firstFit += one.firstFit;
}

Ratios ratiosOf(const Stages& stages, const QList<PreparedChunk>& prepared)
{
    auto ofChunk = [&stages](const PreparedChunk& chunk) { return ratiosOfChunk(stages, chunk); };
    return QtConcurrent::blockingMappedReduced<Ratios>(prepared, ofChunk, add, QtConcurrent::OrderedReduce);
}

qint64 weightOf(const QList<ContentChunk>& chunks)
{
    qint64 weight = 0;
    for (const ContentChunk& chunk : chunks)
        weight += chunk.weight;
    return weight;
}

qint64 virtualPages(const QList<ContentChunk>& chunks)
{
    return chunks.isEmpty() ? 0 : std::max<qint64>(1, (weightOf(chunks) + kPageWeight - 1) / kPageWeight);
}

struct Timings {
    double firstWindowMs = 0;
    double prepareMs = 0;
    double layoutMs = 0;
    double relayoutMs = 0;
    double imageSizeMs = 0;
};

// Every chunk prepared and laid out: the prepared chunks the reader keeps, the layouts, the
// ratios of both breakers (untimed).
struct Measured {
    QList<PreparedChunk> prepared;
    LaidOut laidOut;
    Ratios ratios;
};

// An ordinary book, as the reading model measures it: every chunk prepared, then laid out, on the
// pool, and every prepared chunk kept.
Measured measureWhole(const Stages& stages, const QList<ContentChunk>& chunks, Timings& timings)
{
    Measured measured;
    QElapsedTimer timer;
    timer.start();
    measured.prepared = prepareAll(stages, chunks);
    timings.prepareMs = milliseconds(timer);
    timer.restart();
    measured.laidOut = layOutAll(stages, measured.prepared, stages.params);
    timings.layoutMs = milliseconds(timer);
    measured.ratios = ratiosOf(stages, measured.prepared);
    return measured;
}

// 0 to the last chunk's index: what a pass over the chunks hands out on the pool.
QList<qsizetype> indicesOf(const QList<ContentChunk>& chunks)
{
    QList<qsizetype> indices(chunks.size());
    std::iota(indices.begin(), indices.end(), 0);
    return indices;
}

// One chunk of a large book (PreparedRetention), as the reading model's run takes it: prepared,
// laid out and dropped by one thread, which frees what it made (freeing it on another thread
// would cost more than the work). The stages' own times are kept to share the pass out.
struct StreamedChunk {
    ChunkLaidOut laidOut;
    Ratios ratios;
    PreparedChunk kept; // the first window's chunks only
    qint64 prepareNs = 0;
    qint64 layoutNs = 0;
    qint64 ratiosNs = 0;
};

StreamedChunk streamChunk(const Stages& stages, const ContentChunk& chunk, bool keeps)
{
    StreamedChunk out;
    QElapsedTimer timer;
    timer.start();
    const PreparedChunk prepared = stages.engine.prepareChunk(chunk, stages.params.fontSize, stages.images);
    out.prepareNs = timer.nsecsElapsed();
    timer.restart();
    out.laidOut = layOutOne(stages, prepared, stages.params);
    out.layoutNs = timer.nsecsElapsed();
    timer.restart();
    out.ratios = ratiosOfChunk(stages, prepared);
    out.ratiosNs = timer.nsecsElapsed();
    if (keeps)
        out.kept = prepared;
    return out;
}

struct Streamed {
    Measured measured;
    qint64 prepareNs = 0;
    qint64 layoutNs = 0;
    qint64 ratiosNs = 0;
};

void addStreamed(Streamed& all, const StreamedChunk& one)
{
    all.measured.prepared.append(one.kept);
    keep(all.measured.laidOut, one.laidOut);
    add(all.measured.ratios, one.ratios);
    all.prepareNs += one.prepareNs;
    all.layoutNs += one.layoutNs;
    all.ratiosNs += one.ratiosNs;
}

// A large book in one pass over the chunks; the pass's time is shared out between the stages
// by their summed times (the ratios' share left out).
Measured measureStreamed(const Stages& stages, const QList<ContentChunk>& chunks, qsizetype window, Timings& timings)
{
    const QList<qsizetype> indices = indicesOf(chunks);
    auto stream = [&](qsizetype index) { return streamChunk(stages, chunks.at(index), index < window); };
    QElapsedTimer timer;
    timer.start();
    Streamed streamed = QtConcurrent::blockingMappedReduced<Streamed>(indices, stream, addStreamed,
                                                                      QtConcurrent::OrderedReduce);
    const double passMs = milliseconds(timer);
    const double allNs = std::max<double>(1, streamed.prepareNs + streamed.layoutNs + streamed.ratiosNs);
    timings.prepareMs = passMs * streamed.prepareNs / allNs;
    timings.layoutMs = passMs * streamed.layoutNs / allNs;
    return streamed.measured;
}

// Every chunk laid out again at another width, and dropped; a large book's chunks are prepared
// again first, each on the thread that lays it out, as the reading model's run does.
double relayoutMs(const Stages& stages, const QList<ContentChunk>& chunks, const QList<PreparedChunk>& prepared,
                  bool keepsAll, const LayoutParams& at)
{
    QList<qsizetype> indices = keepsAll ? QList<qsizetype>() : indicesOf(chunks);
    QElapsedTimer timer;
    timer.start();
    if (keepsAll) {
        layOutAll(stages, prepared, at);
        return milliseconds(timer);
    }
    QtConcurrent::blockingMap(indices, [&](qsizetype index) {
        layOutOne(stages, stages.engine.prepareChunk(chunks.at(index), stages.params.fontSize, stages.images), at);
    });
    return milliseconds(timer);
}

QStringList fieldsOf(qint64 pages, const Timings& timings, const LaidOut& laidOut, const Ratios& ratios,
                     qint64 layoutBytes)
{
    return QStringList{
        QStringLiteral("vpages=%1").arg(pages),
        field("first_window_ms", timings.firstWindowMs),
        field("prepare_ms", timings.prepareMs),
        field("layout_ms", timings.layoutMs),
        field("relayout_ms", timings.relayoutMs),
        QStringLiteral("lines=%1").arg(laidOut.lines),
        QStringLiteral("height_px=%1").arg(qRound64(laidOut.height)),
        QStringLiteral("images=%1").arg(laidOut.images),
        field("image_size_ms", timings.imageSizeMs),
        field("ratio_mean", mean(ratios.totalFit), 3),
        field("ratio_p95", percentile95(ratios.totalFit), 3),
        field("greedy_ratio_mean", mean(ratios.firstFit), 3),
        field("greedy_ratio_p95", percentile95(ratios.firstFit), 3),
        QStringLiteral("layout_bytes=%1").arg(layoutBytes),
    };
}

} // namespace

bool LayoutFigures::Options::takeFrom(QStringList& arguments, Options& options, QString* error)
{
    for (qsizetype i = 0; i < arguments.size();) {
        const QString& argument = arguments[i];
        double value = 0;
        if (argument == QLatin1String("--width")) {
            if (!takeNumber(arguments, i, 1, value, error))
                return false;
            options.width = int(value);
        } else if (argument == QLatin1String("--font-size")) {
            if (!takeNumber(arguments, i, 1, value, error))
                return false;
            options.fontSize = int(value);
        } else if (argument == QLatin1String("--line-spacing")) {
            if (!takeNumber(arguments, i, 0.1, value, error))
                return false;
            options.lineSpacing = value;
        } else if (argument == QLatin1String("--dump-lines")) {
            options.dumpLines = true;
            arguments.removeAt(i);
        } else if (argument == QLatin1String("--dump-runs")) {
            options.dumpRuns = true;
            arguments.removeAt(i);
        } else {
            ++i;
        }
    }
    return true;
}

LayoutFigures LayoutFigures::measure(const QList<ContentChunk>& chunks, double openMs, const Options& options,
                                     IBookImageResolver* resolver)
{
    std::optional<TimedImageResolver> timed;
    if (resolver)
        timed.emplace(*resolver);
    Stages stages;
    stages.params.width = options.width;
    stages.params.fontSize = options.fontSize;
    stages.params.lineHeight = options.lineSpacing;
    stages.images = timed ? &*timed : nullptr;
    stages.keepsLines = options.dumpLines || options.dumpRuns;
    LayoutParams narrower = stages.params;
    narrower.width = std::max(1, options.width * 4 / 5);
    Timings timings;

    // The first window on this thread, as the book opens.
    QElapsedTimer timer;
    timer.start();
    const qsizetype window = std::min<qsizetype>(kFirstWindow, chunks.size());
    layOutFirstWindow(stages, chunks, window);
    timings.firstWindowMs = openMs + milliseconds(timer);

    // Every chunk prepared and laid out on the pool.
    const bool keepsAll = PreparedRetention::keepsAll(weightOf(chunks));
    Measured measured = keepsAll ? measureWhole(stages, chunks, timings)
                                 : measureStreamed(stages, chunks, window, timings);
    LaidOut& laidOut = measured.laidOut;
    // The rows the reader looks at keep their lines.
    for (qsizetype i = 0; i < window && !stages.keepsLines; ++i)
        laidOut.layouts[i] = stages.engine.layoutPreparedChunk(measured.prepared.at(i), stages.params);

    // The heap held now, and the dump; a reader holds one set of layouts, so the first goes
    // before the relayout makes the second.
    LayoutBytes bytes;
    bytes.excludeChunks(chunks);
    bytes.addPrepared(measured.prepared);
    bytes.addLayouts(laidOut.layouts);
    LayoutFigures figures;
    if (stages.keepsLines)
        figures.dump = dumpOf(laidOut.layouts, options.dumpRuns);
    laidOut.layouts = QList<ChunkLayout>();

    // Everything again at a narrower width, dropped at once.
    timings.relayoutMs = relayoutMs(stages, chunks, measured.prepared, keepsAll, narrower);

    const Ratios& ratios = measured.ratios;
    timings.imageSizeMs = timed ? timed->sizeMs() : 0.0;
    figures.fields = fieldsOf(virtualPages(chunks), timings, laidOut, ratios, bytes.total());
    return figures;
}
