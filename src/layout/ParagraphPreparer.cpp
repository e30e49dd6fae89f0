#include "ParagraphPreparer.h"

#include "BidiLevels.h"
#include "text/IdeographicText.h"

namespace {

using KnuthPlass::Item;

// TeX's proportions: a space may grow by half and shrink by a third of its width.
constexpr double SpaceStretch = 0.5;
constexpr double SpaceShrink = 1.0 / 3.0;
constexpr double HyphenPenalty = 50;
// Chinese and Japanese set without spaces: lines may break between any two characters, and the
// gaps take up the line's slack, a twentieth of an em each at most before the ratio grows.
constexpr double InterCharacterStretch = 0.05;
constexpr int TabStop = 8;

constexpr char16_t SoftHyphen = 0x00AD;
constexpr char16_t ZeroWidthSpace = 0x200B;
constexpr char16_t WordJoiner = 0x2060;

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
    : chunk(chunk), block(block)
{
}

PreparedParagraph ParagraphPreparer::prepare()
{
    const TextDirection base = baseDirection();
    trackSources = needsBidi(base);
    paragraph.align = block.align;
    paragraph.preformatted = block.preformatted;
    paragraph.baseStyle = chunk.styleIndex(block.style, block.fontSize);
    if (block.lineHeight > 0)
        paragraph.lineHeight = block.lineHeight * chunk.style(paragraph.baseStyle).request.pixelSize;

    if (block.indent != 0)
        items.append(Item::box(block.indent * chunk.scale()));
    if (!block.marker.isEmpty()) {
        // The marker is one box with its trailing space, so the first word stays beside it.
        const int style = paragraph.baseStyle;
        const double width = chunk.textMeasurer().advance(chunk.style(style).request, block.marker);
        addBox(PreparedRun::Text, style, block.marker, width);
        atLineStart = true; // a space after the marker is dropped like one at the line start
    }

    for (qsizetype i = 0; i < block.runs.size(); ++i) {
        const InlineRun& run = block.runs[i];
        if (trackSources)
            sourceStarts.append({items.size(), int(i)});
        switch (run.kind) {
        case InlineRun::Text:
            if (block.preformatted)
                addPreformattedText(run, chunk.styleIndex(run.style));
            else
                addText(run, chunk.styleIndex(run.style));
            break;
        case InlineRun::Image:
            if (!run.url.isEmpty())
                addImage(run, chunk.styleIndex(run.style));
            break;
        case InlineRun::LineBreak:
            addForcedBreak();
            break;
        default:
            break;
        }
    }
    KnuthPlass::finishParagraph(items);
    if (trackSources)
        resolveLevels(base);
    paragraph.items = PackedItems(items);
    paragraph.runs.squeeze();
    return std::move(paragraph);
}

TextDirection ParagraphPreparer::baseDirection() const
{
    return block.style.unicodeBidi == UnicodeBidi::Plaintext ? TextDirection::Auto : block.style.direction;
}

bool ParagraphPreparer::needsBidi(TextDirection base) const
{
    if (base == TextDirection::RightToLeft || BidiLevels::mayReorder(block.marker))
        return true;
    for (const InlineRun& run : block.runs) {
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
    // A break shows its hyphen beside the box it ends, in that box's direction.
    quint8 boxLevel = resolved.rightToLeft ? 1 : 0;
    bool reorders = resolved.rightToLeft;
    for (qsizetype k = 0; k < items.size(); ++k) {
        const int type = items[k].type;
        if (type == KnuthPlass::Box)
            boxLevel = resolved.levels[k];
        else if (type == KnuthPlass::Penalty)
            resolved.levels[k] = boxLevel;
        reorders = reorders || resolved.levels[k] > 0;
    }
    paragraph.rightToLeft = resolved.rightToLeft;
    // Only a paragraph that reads right to left somewhere keeps its levels.
    if (reorders)
        paragraph.levels = std::move(resolved.levels);
}

QString ParagraphPreparer::bidiText(TextDirection base, QList<BidiLevels::Piece>& pieces) const
{
    // The paragraph's text as the bidirectional algorithm sees it: each box's characters, a space
    // for each word gap, an object replacement character for each image, and the controls of the
    // embeddings its runs are in (runs of one embedding one after another share it).
    QString text;
    pieces.reserve(items.size());
    const TextStyle* embedding = nullptr; // the style whose embedding is open
    QString closing;
    qsizetype nextSource = 0;
    const TextStyle* source = nullptr; // the inline run the items come from; null for the marker
    for (qsizetype k = 0; k < items.size(); ++k) {
        const Item& item = items[k];
        while (nextSource < sourceStarts.size() && sourceStarts[nextSource].first <= k)
            source = &block.runs[sourceStarts[nextSource++].second].style;
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
            const PreparedRun& run = paragraph.runs[item.runIndex];
            if (run.kind == PreparedRun::Image)
                text += QChar(0xFFFC);
            else
                text += chunk.textOf(run);
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
    const bool capitalize = run.style.textTransform == 3;
    QString piece;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (isWordSpace(c)) {
            addWord(piece, style);
            piece.clear();
            addGlue(style);
            atWordStart = true;
            lastChar = QChar();
            continue;
        }
        if (c == QChar(SoftHyphen) || c == QChar(ZeroWidthSpace)) {
            addWord(piece, style);
            piece.clear();
            lastChar = QChar();
            if (lastIsTextBox()) {
                if (c == QChar(SoftHyphen))
                    setPendingBreak(true, HyphenPenalty, true);
                else
                    setPendingBreak(false, 0, false);
            }
            continue;
        }
        if (c == QChar(WordJoiner)) {
            // No break on either side: the characters around it stay on one line. A break still
            // pending lies before the word in hand, away from the joiner, unless that is empty.
            if (piece.isEmpty())
                pendingBreak.reset();
            joined = true;
            continue;
        }
        if (capitalize && atWordStart && c.isLetter())
            c = c.toUpper();
        atWordStart = false;
        const bool mayBreak = !joined;
        joined = false;
        if (mayBreak && !lastChar.isNull() && breaksBetween(lastChar, c)) {
            addWord(piece, style);
            piece.clear();
            addInterCharacterGlue(style);
        }
        piece += c;
        lastChar = c;
        // A line may end after a dash inside a word ("well-known"), as after an explicit hyphen.
        const bool insideWord = piece.size() > 1 && i + 1 < text.size() && text[i + 1].isLetterOrNumber();
        if (isDash(c) && insideWord) {
            addWord(piece, style);
            piece.clear();
            setPendingBreak(false, HyphenPenalty, true);
        }
    }
    addWord(piece, style);
}

void ParagraphPreparer::addPreformattedText(const InlineRun& run, int style)
{
    QString text = run.text;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
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
            const int count = TabStop - column % TabStop;
            addWord(piece, style);
            piece.clear();
            spaces += count;
            column += count;
        } else if (c == u' ') {
            addWord(piece, style);
            piece.clear();
            ++spaces;
            ++column;
        } else {
            if (spaces > 0)
                flush();
            piece += c;
            ++column;
        }
    }
    flush();
}

void ParagraphPreparer::addImage(const InlineRun& run, int style)
{
    const QSizeF size = chunk.imageRunSize(run);
    // Images break from their neighbours, so that two pictures in a row do not make one line.
    if (!items.isEmpty() && items.last().type == KnuthPlass::Box && !atLineStart)
        items.append(Item::penaltyItem(0, 0, false));
    pendingBreak.reset();
    addBox(PreparedRun::Image, style, run.url, size.width(), size.height());
    if (run.invert > 0)
        paragraph.inverts.insert(int(paragraph.runs.size()) - 1, run.invert);
    setPendingBreak(false, 0, false);
    atWordStart = true;
    lastChar = QChar();
}

void ParagraphPreparer::addForcedBreak()
{
    pendingBreak.reset();
    KnuthPlass::finishLine(items);
    lastChar = QChar();
    atLineStart = true;
    atWordStart = true;
    column = 0;
}

void ParagraphPreparer::addWord(const QString& text, int style)
{
    if (text.isEmpty())
        return;
    const double width = chunk.textMeasurer().advance(chunk.style(style).request, text);
    addBox(PreparedRun::Text, chunk.styleFor(style, text), text, width);
}

void ParagraphPreparer::addSpaces(int style, int count)
{
    if (count <= 0)
        return;
    const double width = chunk.style(style).spaceWidth * count;
    if (atLineStart) {
        // Indentation of a preformatted line: a box, since glue at a line start is discarded.
        addBox(PreparedRun::Text, style, QString(count, u' '), width);
        return;
    }
    pendingBreak.reset();
    items.append(Item::glue(width, 0, 0, spaceRun(style)));
}

void ParagraphPreparer::addGlue(int style)
{
    if (atLineStart || items.isEmpty() || items.last().type == KnuthPlass::Glue)
        return;
    pendingBreak.reset();
    const double width = chunk.style(style).spaceWidth;
    items.append(Item::glue(width, width * SpaceStretch, width * SpaceShrink, spaceRun(style)));
}

void ParagraphPreparer::addInterCharacterGlue(int style)
{
    if (items.isEmpty() || items.last().type != KnuthPlass::Box)
        return;
    pendingBreak.reset();
    const double stretch = chunk.style(style).request.pixelSize * InterCharacterStretch;
    items.append(Item::glue(0, stretch, 0, spaceRun(style)));
}

int ParagraphPreparer::spaceRun(int style)
{
    const auto found = spaceRuns.constFind(style);
    if (found != spaceRuns.constEnd())
        return found.value();
    paragraph.runs.append(PreparedRun{PreparedRun::Space, style});
    const int index = int(paragraph.runs.size()) - 1;
    spaceRuns.insert(style, index);
    return index;
}

void ParagraphPreparer::addBox(int kind, int style, const QString& text, double width, double height)
{
    if (pendingBreak) {
        if (!items.isEmpty() && items.last().type == KnuthPlass::Box)
            items.append(*pendingBreak);
        pendingBreak.reset();
    }
    paragraph.runs.append(PreparedRun{kind, style, chunk.storeText(text), int(text.size()), height});
    items.append(Item::box(width, int(paragraph.runs.size()) - 1));
    atLineStart = false;
}

bool ParagraphPreparer::lastIsTextBox() const
{
    if (items.isEmpty())
        return false;
    const Item& last = items.last();
    return last.type == KnuthPlass::Box && last.runIndex >= 0
        && paragraph.runs[last.runIndex].kind == PreparedRun::Text;
}

void ParagraphPreparer::setPendingBreak(bool showsHyphen, double penalty, bool flagged)
{
    // The break belongs to the box before it: a hyphen shown there takes that box's style.
    const int runIndex = items.isEmpty() ? -1 : items.last().runIndex;
    const double width = showsHyphen && runIndex >= 0
        ? chunk.style(paragraph.runs[runIndex].style).hyphenWidth : 0;
    pendingBreak = Item::penaltyItem(width, penalty, flagged, runIndex);
}
