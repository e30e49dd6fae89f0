#pragma once

// Finds the paragraphs of decoded plain text. Stateless; any thread. Stops early, with the blocks found
// so far, when the thread's CancelToken is set.
//
// Line ends are "\n", "\r\n" and a lone "\r"; a form feed ends a line too and marks a section
// break, as does a line of nothing but at least three of "*", "-" and "_". A line's length and
// indent are counted in columns (a tab to the next multiple of 4, wide East Asian characters 2).
//
// Plain-text books mark paragraphs in one of a few ways, and one way holds for a whole file, so
// the rule is chosen once per file from its statistics rather than line by line:
// - The wrap width is the length of the 95th-percentile line (nearest rank). Above 120 columns
//   nobody wraps by hand: every line is a paragraph (books with one paragraph per line).
// - Otherwise lines are hard-wrapped. The fill width is the length that all but one in a hundred
//   lines stay within, in columns or, when a wrapper counted them so, in the bytes of UTF-8. A
//   line is tight when the next line's first word would not have fit on it within the fill
//   width. The wrapper was greedy when at least eight lines are tight and at most one in five as
//   many stop short within the last tenth of the width though the next word would have fit
//   (only paragraph ends do that): a line is then full exactly when it is tight, so a paragraph's
//   long last line still ends it. A wrapper that leaves white space at the end of each line it
//   breaks (fold -s, flowed text) says so on nine in ten tight lines and at most one in ten
//   lines with room to spare: that white space then decides alone. Other wrappers, and hands,
//   fill a line when it is tight or within the last tenth. No line is taken for full in a file of
//   fewer than 24 text lines (too few for these statistics), nor in a file narrower than 55
//   columns that no greedy wrapper made (verse).
// - A line runs on into the next when it is full; when the next line starts in lower case, in a
//   greedy file only one within the last tenth, elsewhere one of prose length (the line with the
//   next word is six tenths of the wrap width) and in a narrow file only the first of a block of
//   two, as verse of any width goes on in lower case too; when it is the first line of a block
//   of two and of prose length (three quarters of the wrap width) whatever the case of the next;
//   or, in a short file, when it stops after a letter (in mid-sentence) and is of prose length
//   (20 columns and six tenths of the wrap width). A short line that ends a sentence, or one left
//   short by the long word after it, still runs on when one of these holds; lines of verse, of
//   addresses and of contents meet none of them.
// - The body indent is the most common indent (the smaller on a tie). The file is indent-led when
//   at least two lines, and one in fifty, are indented past the body right below a body line (in
//   a short file one such line of prose length will do): an indented line then starts a
//   paragraph, and a line indented past the usual paragraph indent (by more than one column) is
//   laid out by hand.
// - The file is blank-separated when one in fifty of its lines, or more, is followed by a run of
//   blank lines before more text: blank lines then end paragraphs, and a run longer than the most
//   common one is a gap (a scene break). In other files every run of blank lines is a gap.
// - In blank-separated or indent-led files, a block (the lines between paragraph ends) whose lines
//   all stand indented past the body, or more than half of whose breaks do not run on (a block
//   of two lines: its one break), was laid out by hand (verse, a table of contents, an address)
//   and keeps its breaks; so does a block of three or more lines in a narrow file, unless each
//   of its lines but the last is of prose length, tight against the block's longest line, and
//   at most one in four ends at a punctuation mark (prose wrapped narrow); any other block is
//   one paragraph, however its neighbours look. In files with neither mark a line that does not
//   run on ends a paragraph, and so does a line that ends a sentence above one that opens with a
//   quotation mark or a dialogue dash (the next speaker's paragraph, though the line is full);
//   three or more one-line paragraphs in a row are one block laid out by hand, unless a greedy
//   wrapper made the file (its one-line paragraphs are paragraphs).
// - Every choice is made from counts gathered in a few passes over the lines, and the blocks are
//   cut in one more: the time is linear in the length of the text.
// - Blocks laid out by hand have no indent to set them apart, so a gap stands between one and the
//   text next to it, whether or not the file had a blank line there.
// A paragraph longer than 16 budgets is cut at sentence ends (else spaces) into pieces of about
// one budget, and a hand-laid block into pieces of about one budget of whole lines, so that no
// chunk grows to thousands of lines.

#include <QString>
#include <QStringView>

#include <functional>

namespace PlainTextParagraphs {

struct Block {
    enum Kind : int {
        Paragraph = 0, // text to reflow
        Lines = 1,     // lines laid out by hand, joined by "\n", the body indent removed
        Gap = 2,       // a visible gap between scenes (no text)
        Break = 3,     // a section break (no text)
    };
    int kind = Paragraph;
    QString text;
    bool continues = false; // a later piece of a paragraph cut for its length
};

// Length above which a paragraph is cut into several pieces: 16 budgets.
qsizetype longLineLength(int budget);

// Runs job(0) to job(count - 1), each once, in any order and on any threads, and returns when
// every call has returned.
using ForEach = std::function<void(qsizetype count, const std::function<void(qsizetype)>& job)>;

// Told of each paragraph or block of lines as the finder records it, before any block is handed
// on; each becomes one block or more, and when separated, a gap or a break stands before it too.
// On the threads forEach runs its jobs on, several at once. Answering false stops the finder:
// split then hands on no block at all, so a caller counting what the blocks will cost stops a
// text that costs too much before its blocks are made.
using Recorded = std::function<bool(bool separated)>;

// Calls sink once per block, in order, on the calling thread. Paragraphs and lines are never
// blank; a gap or a break never comes first or last, and never next to another gap or break.
// With forEach, the sections of a long text are cut side by side through it (they start after
// blank lines, so the blocks are the same); without, one after another.
void split(QStringView text, int budget, const std::function<void(const Block&)>& sink,
           const ForEach& forEach = {}, const Recorded& recorded = {});

} // namespace PlainTextParagraphs
