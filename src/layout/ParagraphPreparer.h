#pragma once

// Builds the Knuth-Plass items and measured runs of one paragraph; part of chunk preparation
// (ChunkPreparer), on the thread that prepares the chunk.
//
// Break opportunities: a space is glue (after a box only; repeated spaces collapse); a soft
// hyphen (U+00AD) is a flagged penalty carrying the hyphen's width, so the hyphen shows only
// when a line ends there; a dash inside a word and the sides of an image are penalties of no
// width; a zero-width space is a free break; Chinese and Japanese text may break between any
// two characters (not before closing punctuation or small kana, nor after an opening bracket),
// at glue that only stretches; Thai, Lao, Khmer and Burmese break between the words of ICU's
// dictionaries, at glue of no width that stretches a little; a word joiner (U+2060) forbids the
// break beside it and is not drawn; a line break, and a newline in preformatted text, is a
// forced break closed like a paragraph end, so the line before it is not stretched.
// Preformatted text keeps its spaces as fixed glue (tabs to every 8th column) and still wraps at
// them when a line is too long for the column.
//
// Direction: a paragraph that may read right to left (BidiLevels::mayReorder, a right-to-left base
// direction, runs in embeddings of another direction) gets the embedding levels of its items, so
// that each line can be put in visual order after breaking; others get none and cost nothing.

#include "BidiLevels.h"
#include "content/ContentModel.h"
#include "IParagraphContext.h"
#include "KnuthPlass.h"
#include "PreparedChunk.h"

#include <optional>

class ParagraphPreparer {
public:
    ParagraphPreparer(IParagraphContext& chunk, const BlockItem& block);

    PreparedParagraph prepare();

private:
    void addText(const InlineRun& run, int style);
    void addPreformattedText(const InlineRun& run, int style);
    void addImage(const InlineRun& run, int style);
    void addForcedBreak();
    void addWord(const QString& text, int style);
    void addDictionaryWords(const QString& text, int style);
    void addWordBoundary(int style);
    void addMeasuredBox(const QString& text, int style);
    void addSpaces(int style, int count);
    void addGlue(int style);
    void addInterCharacterGlue(int style);
    void addBox(PreparedRun::Kind kind, int style, const QString& text, double width, double height = 0);
    int spaceRun(int style);
    bool lastIsTextBox() const;
    void setPendingBreak(bool showsHyphen, double penalty, bool flagged);
    TextDirection baseDirection() const;
    bool needsBidi(TextDirection base) const;
    void resolveLevels(TextDirection base);
    void splitAtLevelChanges(BidiLevels::Resolved& resolved);
    double widestWord() const;
    // Fills one piece per item, where its characters lie in the returned text.
    QString bidiText(TextDirection base, QList<BidiLevels::Piece>& pieces) const;

    IParagraphContext& m_chunk;
    const BlockItem& m_block;
    PreparedParagraph m_paragraph;
    QList<KnuthPlass::Item> m_items; // packed into the paragraph once complete
    QHash<int, int> m_spaceRuns; // style -> index of its Space run
    int m_lastSpaceStyle = -1; // the style of the last space asked for, and its run: most
    int m_lastSpaceRun = -1;   // spaces of a paragraph are of one style
    std::optional<KnuthPlass::Item> m_pendingBreak; // goes in before the next box, unless glue comes
    bool m_atLineStart = true;
    bool m_atWordStart = true;
    int m_column = 0;
    QChar m_lastChar; // the character before the next one, within a word; null after a break
    bool m_joined = false; // a word joiner came last: no break before the next character
    // The run in hand holds a character of a script broken by dictionary: only then are its
    // words looked through for one (most books have none).
    bool m_dictionaryRun = false;
    bool m_hasImage = false; // an image box is among the items
    bool m_trackSources = false;
    QList<std::pair<qsizetype, int>> m_sourceStarts; // (first item, inline run) for each run's items
};
