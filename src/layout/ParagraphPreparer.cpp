#include "ParagraphPreparer.h"

#include "BidiLevels.h"
#include "DictionaryBreaks.h"
#include "text/IdeographicText.h"

#include <algorithm>

namespace {

using KnuthPlass::Item;

// TeX's proportions: a space may grow by half and shrink by a third of its width.
constexpr double kSpaceStretch = 0.5;
constexpr double kSpaceShrink = 1.0 / 3.0;
constexpr double kHyphenPenalty = 50;
// Chinese and Japanese set without spaces: lines may break between any two characters, and the
// gaps take up the line's slack, a twentieth of an em each at most before the ratio grows.
constexpr double kInterCharacterStretch = 0.05;
// Thai, Lao, Khmer and Burmese words run on without spaces: a line breaks between two of them
// with nothing drawn at the break. A justified line shares its slack among these boundaries as
// well as its spaces, each taking a tenth of an em before the ratio grows, so no gap opens wide.
constexpr double kWordBoundaryStretch = 0.1;
constexpr int kTabStop = 8;

constexpr char16_t kSoftHyphen = 0x00AD;
constexpr char16_t kZeroWidthSpace = 0x200B;
constexpr char16_t kWordJoiner = 0x2060;

bool isDash(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'-' || u == 0x2010 || u == 0x2013 || u == 0x2014;
}

// Spaces between words; the no-break spaces stay inside their words.
bool isWordSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\r' || u == u'\f' || u == u'\v';
}

// Closing punctuation, iteration marks and small kana never start a line; opening brackets
// never end one.
bool breaksBetween(QChar before, QChar after)
{
    static const QString noStart = QStringLiteral(
        "\u3001\u3002\uFF0C\uFF0E\u30FB\uFF1A\uFF1B\uFF1F\uFF01\uFF09\u300D\u300F\u3011\u3015\u3009"
        "\u300B\u30FC\u3005\u309D\u309E\u30FD\u30FE\u3041\u3043\u3045\u3047\u3049\u3063\u3083"
        "\u3085\u3087\u308E\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u30F5"
        "\u30F6)]}.,;:!?\u2019\u201D");
    static const QString noEnd = QStringLiteral("\uFF08\u300C\u300E\u3010\u3014\u3008\u300A([{\u2018\u201C");
    if (!isIdeographic(before.unicode()) && !isIdeographic(after.unicode()))
        return false;
    return !before.isSpace() && !after.isSpace() && !noStart.contains(after) && !noEnd.contains(before);
}

QString transformed(const QString& text, int textTransform)
{
    switch (textTransform) {
    case 1:
        return text.toUpper();
    case 2:
        return text.toLower();
    default:
        return text;
    }
}

} // namespace

ParagraphPreparer::ParagraphPreparer(IParagraphContext& chunk, const BlockItem& block)
    : m_chunk(chunk), m_block(block)
{
}

PreparedParagraph ParagraphPreparer::prepare()
{
    const TextDirection base = baseDirection();
    m_trackSources = needsBidi(base);
    m_paragraph.align = m_block.align;
    m_paragraph.preformatted = m_block.preformatted;
    m_paragraph.baseStyle = m_chunk.styleIndex(m_block.style, m_block.fontSize);
    if (m_block.lineHeight > 0)
        m_paragraph.lineHeight = m_block.lineHeight * m_chunk.style(m_paragraph.baseStyle).request.pixelSize;

    if (m_block.indent != 0)
        m_items.append(Item::box(m_block.indent * m_chunk.scale()));
    if (!m_block.marker.isEmpty()) {
        // The marker is one box with its trailing space, so the first word stays beside it.
        const int style = m_paragraph.baseStyle;
        const double width = m_chunk.textMeasurer().advance(m_chunk.style(style).request, m_block.marker);
        addBox(PreparedRun::Kind::Text, style, m_block.marker, width);
        m_atLineStart = true; // a space after the marker is dropped like one at the line start
    }

    // A word of prose is a box and a glue, and words run about five letters: room for them at
    // once, rather than a list that grows and is copied again and again for a long paragraph.
    qsizetype letters = 0;
    for (const InlineRun& run : m_block.runs)
        letters += run.text.size();
    m_items.reserve(m_items.size() + letters / 3 + 8);

    for (qsizetype i = 0; i < m_block.runs.size(); ++i) {
        const InlineRun& run = m_block.runs[i];
        if (m_trackSources)
            m_sourceStarts.append({m_items.size(), int(i)});
        switch (run.kind) {
        case InlineRun::Text:
            if (m_block.preformatted)
                addPreformattedText(run, m_chunk.styleIndex(run.style));
            else
                addText(run, m_chunk.styleIndex(run.style));
            break;
        case InlineRun::Image:
            if (!run.url.isEmpty())
                addImage(run, m_chunk.styleIndex(run.style));
            break;
        case InlineRun::LineBreak:
            addForcedBreak();
            break;
        default:
            break;
        }
    }
    KnuthPlass::finishParagraph(m_items);
    if (m_trackSources)
        resolveLevels(base);
    m_paragraph.widestWord = widestWord();
    m_paragraph.items = PackedItems(m_items);
    m_paragraph.runs.squeeze();
    return std::move(m_paragraph);
}

double ParagraphPreparer::widestWord() const
{
    double widest = 0;
    double word = 0;
    for (qsizetype k = 0; k < m_items.size(); ++k) {
        const Item& item = m_items[k];
        if (KnuthPlass::isBreakpoint(m_items, k)) {
            word = 0;
            continue;
        }
        const bool image = m_hasImage && item.type == KnuthPlass::Box && item.runIndex >= 0
            && m_paragraph.runs[item.runIndex].kind == PreparedRun::Kind::Image;
        if (item.type != KnuthPlass::Penalty && !image) // an image is narrowed to its column
            word += item.width;
        widest = std::max(widest, word);
    }
    return widest;
}

TextDirection ParagraphPreparer::baseDirection() const
{
    return m_block.style.unicodeBidi == UnicodeBidi::Plaintext ? TextDirection::Auto : m_block.style.direction;
}

bool ParagraphPreparer::needsBidi(TextDirection base) const
{
    if (base == TextDirection::RightToLeft || BidiLevels::mayReorder(m_block.marker))
        return true;
    for (const InlineRun& run : m_block.runs) {
        if (BidiLevels::mayReorder(run.text) || !BidiLevels::openingControls(run.style, base).isEmpty())
            return true;
    }
    return false;
}

void ParagraphPreparer::resolveLevels(TextDirection base)
{
    QList<BidiLevels::Piece> pieces;
    const QString text = bidiText(base, pieces);
    BidiLevels::Resolved resolved = BidiLevels::resolve(text, pieces, base);
    splitAtLevelChanges(resolved);
    // A break shows its hyphen beside the box it ends, in that box's direction.
    quint8 boxLevel = resolved.rightToLeft ? 1 : 0;
    bool reorders = resolved.rightToLeft;
    for (qsizetype k = 0; k < m_items.size(); ++k) {
        const int type = m_items[k].type;
        if (type == KnuthPlass::Box)
            boxLevel = resolved.levels[k];
        else if (type == KnuthPlass::Penalty)
            resolved.levels[k] = boxLevel;
        reorders = reorders || resolved.levels[k] > 0;
    }
    m_paragraph.rightToLeft = resolved.rightToLeft;
    // Only a paragraph that reads right to left somewhere keeps its levels.
    if (reorders)
        m_paragraph.levels = std::move(resolved.levels);
}

void ParagraphPreparer::splitAtLevelChanges(BidiLevels::Resolved& resolved)
{
    // Each part of a box whose characters lie at different levels becomes a box of its own, with
    // no break between them, so that each part is put in its place on the line by its own level.
    if (resolved.changes.isEmpty())
        return;
    QList<Item> items;
    QList<quint8> levels;
    items.reserve(m_items.size() + resolved.changes.size());
    levels.reserve(items.capacity());
    qsizetype change = 0;
    for (qsizetype k = 0; k < m_items.size(); ++k) {
        const Item& item = m_items[k];
        if (change >= resolved.changes.size() || resolved.changes[change].piece != k) {
            items.append(item);
            levels.append(resolved.levels[k]);
            continue;
        }
        const PreparedRun whole = m_paragraph.runs[item.runIndex];
        const FontRequest& font = m_chunk.style(whole.style).request;
        int runIndex = item.runIndex;
        qsizetype from = 0;
        quint8 level = resolved.levels[k];
        auto addPart = [&](qsizetype to) {
            PreparedRun part = whole;
            part.textStart = whole.textStart + int(from);
            part.textLength = int(to - from);
            if (runIndex < 0) {
                m_paragraph.runs.append(part);
                runIndex = int(m_paragraph.runs.size()) - 1;
            } else {
                m_paragraph.runs[runIndex] = part;
            }
            const double width = m_chunk.textMeasurer().advance(font, m_chunk.textOf(part).toString());
            items.append(Item::box(width, runIndex));
            levels.append(level);
            runIndex = -1;
        };
        for (; change < resolved.changes.size() && resolved.changes[change].piece == k; ++change) {
            addPart(resolved.changes[change].offset);
            from = resolved.changes[change].offset;
            level = resolved.changes[change].level;
        }
        addPart(whole.textLength);
    }
    m_items = std::move(items);
    resolved.levels = std::move(levels);
}

QString ParagraphPreparer::bidiText(TextDirection base, QList<BidiLevels::Piece>& pieces) const
{
    // The paragraph's text as the bidirectional algorithm sees it: each box's characters, a space
    // for each word gap, an object replacement character for each image, and the controls of the
    // embeddings its runs are in (runs of one embedding one after another share it).
    QString text;
    pieces.reserve(m_items.size());
    const TextStyle* embedding = nullptr; // the style whose embedding is open
    QString closing;
    qsizetype nextSource = 0;
    const TextStyle* source = nullptr; // the inline run the items come from; null for the marker
    for (qsizetype k = 0; k < m_items.size(); ++k) {
        const Item& item = m_items[k];
        while (nextSource < m_sourceStarts.size() && m_sourceStarts[nextSource].first <= k)
            source = &m_block.runs[m_sourceStarts[nextSource++].second].style;
        BidiLevels::Piece piece{text.size(), 0};
        const bool box = item.type == KnuthPlass::Box && item.runIndex >= 0;
        const bool space = item.type == KnuthPlass::Glue && item.runIndex >= 0;
        if (box || space) {
            const bool sameEmbedding = source && embedding && source->direction == embedding->direction
                && source->unicodeBidi == embedding->unicodeBidi;
            if (!sameEmbedding) {
                text += closing;
                closing = source ? BidiLevels::closingControls(*source, base) : QString();
                if (source)
                    text += BidiLevels::openingControls(*source, base);
                embedding = closing.isEmpty() ? nullptr : source;
            }
            piece.start = text.size();
        }
        if (box) {
            const PreparedRun& run = m_paragraph.runs[item.runIndex];
            if (run.kind == PreparedRun::Kind::Image)
                text += QChar(0xFFFC);
            else
                text += m_chunk.textOf(run);
        } else if (space) {
            text += u' ';
        }
        piece.length = text.size() - piece.start;
        pieces.append(piece);
    }
    text += closing;
    return text;
}

void ParagraphPreparer::addText(const InlineRun& run, int style)
{
    const QString text = transformed(run.text, run.style.textTransform);
    m_dictionaryRun = DictionaryBreaks::needsDictionary(text);
    const bool capitalize = run.style.textTransform == TextStyle::Capitalize;
    QString piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (isWordSpace(c)) {
            addWord(piece, style);
            piece.clear();
            addGlue(style);
            m_atWordStart = true;
            m_lastChar = QChar();
            continue;
        }
        if (c == QChar(kSoftHyphen) || c == QChar(kZeroWidthSpace)) {
            addWord(piece, style);
            piece.clear();
            m_lastChar = QChar();
            if (lastIsTextBox()) {
                if (c == QChar(kSoftHyphen))
                    setPendingBreak(true, kHyphenPenalty, true);
                else
                    setPendingBreak(false, 0, false);
            }
            continue;
        }
        if (c == QChar(kWordJoiner)) {
            // No break on either side: the characters around it stay on one line. A break still
            // pending lies before the word in hand, away from the joiner, unless that is empty.
            if (piece.isEmpty())
                m_pendingBreak.reset();
            m_joined = true;
            continue;
        }
        if (capitalize && m_atWordStart && c.isLetter())
            c = c.toUpper();
        m_atWordStart = false;
        const bool mayBreak = !m_joined;
        m_joined = false;
        if (mayBreak && !m_lastChar.isNull() && breaksBetween(m_lastChar, c)) {
            addWord(piece, style);
            piece.clear();
            addInterCharacterGlue(style);
        }
        piece += c;
        m_lastChar = c;
        // A line may end after a dash inside a word ("well-known"), as after an explicit hyphen.
        const bool insideWord = piece.size() > 1 && i + 1 < text.size() && text[i + 1].isLetterOrNumber();
        if (isDash(c) && insideWord) {
            addWord(piece, style);
            piece.clear();
            setPendingBreak(false, kHyphenPenalty, true);
        }
    }
    addWord(piece, style);
}

void ParagraphPreparer::addPreformattedText(const InlineRun& run, int style)
{
    QString text = run.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    m_dictionaryRun = DictionaryBreaks::needsDictionary(text);
    QString piece;
    int spaces = 0;
    auto flush = [&] {
        addWord(piece, style);
        piece.clear();
        addSpaces(style, spaces);
        spaces = 0;
    };
    for (const QChar c : std::as_const(text)) {
        if (c == u'\n') {
            addWord(piece, style);
            piece.clear();
            spaces = 0; // trailing spaces of a line are dropped with its trailing glue
            addForcedBreak();
        } else if (c == u'\t') {
            const int count = kTabStop - m_column % kTabStop;
            addWord(piece, style);
            piece.clear();
            spaces += count;
            m_column += count;
        } else if (c == u' ') {
            addWord(piece, style);
            piece.clear();
            ++spaces;
            ++m_column;
        } else {
            if (spaces > 0)
                flush();
            piece += c;
            ++m_column;
        }
    }
    flush();
}

void ParagraphPreparer::addImage(const InlineRun& run, int style)
{
    const QSizeF size = m_chunk.imageRunSize(run);
    // Images break from their neighbours, so that two pictures in a row do not make one line.
    if (!m_items.isEmpty() && m_items.last().type == KnuthPlass::Box && !m_atLineStart)
        m_items.append(Item::penaltyItem(0, 0, false));
    m_pendingBreak.reset();
    addBox(PreparedRun::Kind::Image, style, run.url, size.width(), size.height());
    m_hasImage = true;
    if (run.invert > 0)
        m_paragraph.inverts.insert(int(m_paragraph.runs.size()) - 1, run.invert);
    setPendingBreak(false, 0, false);
    m_atWordStart = true;
    m_lastChar = QChar();
}

void ParagraphPreparer::addForcedBreak()
{
    m_pendingBreak.reset();
    KnuthPlass::finishLine(m_items);
    m_lastChar = QChar();
    m_atLineStart = true;
    m_atWordStart = true;
    m_column = 0;
}

void ParagraphPreparer::addWord(const QString& text, int style)
{
    if (text.isEmpty())
        return;
    if (m_dictionaryRun && DictionaryBreaks::needsDictionary(text)) {
        addDictionaryWords(text, style);
        return;
    }
    addMeasuredBox(text, style);
}

void ParagraphPreparer::addDictionaryWords(const QString& text, int style)
{
    qsizetype from = 0;
    for (const qsizetype boundary : DictionaryBreaks::wordBoundaries(text)) {
        addMeasuredBox(text.mid(from, boundary - from), style);
        addWordBoundary(style);
        from = boundary;
    }
    addMeasuredBox(text.mid(from), style);
}

void ParagraphPreparer::addWordBoundary(int style)
{
    if (m_items.isEmpty() || m_items.last().type != KnuthPlass::Box)
        return;
    m_pendingBreak.reset();
    const double stretch = m_chunk.style(style).request.pixelSize * kWordBoundaryStretch;
    m_items.append(Item::glue(0, stretch, 0, spaceRun(style)));
}

void ParagraphPreparer::addMeasuredBox(const QString& text, int style)
{
    const double width = m_chunk.textMeasurer().advance(m_chunk.style(style).request, text);
    addBox(PreparedRun::Kind::Text, m_chunk.styleFor(style, text), text, width);
}

void ParagraphPreparer::addSpaces(int style, int count)
{
    if (count <= 0)
        return;
    const double width = m_chunk.style(style).spaceWidth * count;
    if (m_atLineStart) {
        // Indentation of a preformatted line: a box, since glue at a line start is discarded.
        addBox(PreparedRun::Kind::Text, style, QString(count, u' '), width);
        return;
    }
    m_pendingBreak.reset();
    m_items.append(Item::glue(width, 0, 0, spaceRun(style)));
}

void ParagraphPreparer::addGlue(int style)
{
    if (m_atLineStart || m_items.isEmpty() || m_items.last().type == KnuthPlass::Glue)
        return;
    m_pendingBreak.reset();
    const double width = m_chunk.style(style).spaceWidth;
    m_items.append(Item::glue(width, width * kSpaceStretch, width * kSpaceShrink, spaceRun(style)));
}

void ParagraphPreparer::addInterCharacterGlue(int style)
{
    if (m_items.isEmpty() || m_items.last().type != KnuthPlass::Box)
        return;
    m_pendingBreak.reset();
    const double stretch = m_chunk.style(style).request.pixelSize * kInterCharacterStretch;
    m_items.append(Item::glue(0, stretch, 0, spaceRun(style)));
}

int ParagraphPreparer::spaceRun(int style)
{
    if (style == m_lastSpaceStyle)
        return m_lastSpaceRun;
    m_lastSpaceStyle = style;
    const auto found = m_spaceRuns.constFind(style);
    if (found != m_spaceRuns.constEnd())
        return m_lastSpaceRun = found.value();
    m_paragraph.runs.append(PreparedRun{PreparedRun::Kind::Space, style});
    const int index = int(m_paragraph.runs.size()) - 1;
    m_spaceRuns.insert(style, index);
    return m_lastSpaceRun = index;
}

void ParagraphPreparer::addBox(PreparedRun::Kind kind, int style, const QString& text, double width, double height)
{
    if (m_pendingBreak) {
        if (!m_items.isEmpty() && m_items.last().type == KnuthPlass::Box)
            m_items.append(*m_pendingBreak);
        m_pendingBreak.reset();
    }
    m_paragraph.runs.append(PreparedRun{kind, style, m_chunk.storeText(text), int(text.size()), height});
    m_items.append(Item::box(width, int(m_paragraph.runs.size()) - 1));
    m_atLineStart = false;
}

bool ParagraphPreparer::lastIsTextBox() const
{
    if (m_items.isEmpty())
        return false;
    const Item& last = m_items.last();
    return last.type == KnuthPlass::Box && last.runIndex >= 0
        && m_paragraph.runs[last.runIndex].kind == PreparedRun::Kind::Text;
}

void ParagraphPreparer::setPendingBreak(bool showsHyphen, double penalty, bool flagged)
{
    // The break belongs to the box before it: a hyphen shown there takes that box's style.
    const int runIndex = m_items.isEmpty() ? -1 : m_items.last().runIndex;
    const double width = showsHyphen && runIndex >= 0
        ? m_chunk.style(m_paragraph.runs[runIndex].style).hyphenWidth : 0;
    m_pendingBreak = Item::penaltyItem(width, penalty, flagged, runIndex);
}
