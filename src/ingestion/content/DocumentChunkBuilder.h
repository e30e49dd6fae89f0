#pragma once

// Turns a stream of building calls into weighted content chunks, cutting a new chunk once the filled
// one reaches its budget, but only at a block boundary (see ContentChunk for the invariants). The
// margins meeting at a cut go with the next chunk (ContentChunk::leadingMargin), so a cut leaves
// the page as it was.
//
// With a cost meter (BookCostMeter) every block and run is charged to it as it is added; once
// the book is past its budget the builder takes nothing more (refused()), so that its caller can
// stop and refuse the book.
//
// One builder is used by one thread, once: construct, build, call build().

#include "content/BookCostMeter.h"
#include "content/ContentModel.h"
#include "content/ParagraphFormat.h"

class DocumentChunkBuilder {
public:
    // Budget of the readers' chunk lists, and of callers that want one chunk for everything.
    static constexpr int kReaderBudget = 512;
    static constexpr int kSingleChunkBudget = 1000000000;

    DocumentChunkBuilder(QString chunkId, int budget);

    void startParagraph(const ParagraphFormat& format);
    void appendText(const QString& text, const TextStyle& style, bool preserve);
    void appendImage(const QString& url, double width, double height, double maxWidth,
                     const TextStyle& style, double invert = 0);
    void appendLineBreak();
    void appendRule(const QColor& colour);
    void startContainer(const BoxStyle& box);
    void endContainer(const BoxStyle& box);
    void appendBlock(const BlockItem& item);
    void finishParagraph();
    void checkPendingFlush();
    QList<ContentChunk> build();

    // The meter of the book this builder builds for; none: nothing is counted.
    void setCostMeter(BookCostMeter* meter) { m_meter = meter; }
    // The book is past its budget: what is added from now on is dropped.
    bool refused() const { return m_meter && m_meter->exceeded(); }

    bool paragraphIsOpen() const { return m_paragraphOpen; }
    int openContainerCount() const { return int(m_openContainers.size()); }

    static int paragraphWeight(const BlockItem& paragraph);

private:
    void flushCurrentChunk();
    void appendToChunk(const BlockItem& block);
    void addWeight(int weight);
    // False when the book is past its budget: the item is not to be added.
    bool charge(qint64 bytes);

    QString m_chunkId;
    int m_budget;
    QList<ContentChunk> m_chunks;
    ContentChunk m_current;
    QList<BoxStyle> m_openContainers;
    bool m_paragraphOpen = false;
    BlockItem m_paragraph;
    bool m_flushPending = false;
    CollapsingMargin m_trailingMargin; // the margins meeting at the end of what was appended
    BookCostMeter* m_meter = nullptr;
    qint64 m_uncharged = 0; // charged to the meter in batches: its counter is shared by threads
};
