// A cue's words in lines, and its text: the lines balanced and broken where a reader would,
// and the tags open at a cut closed there and opened again in the next cue.
#ifndef CUEFOLD_LAYOUT_H
#define CUEFOLD_LAYOUT_H

#include "splitting.h"
#include "words.h"

#include <QByteArrayView>
#include <QList>
#include <QVarLengthArray>

#include <vector>

// Words [first, end) of a passage, as the splitter holds them.
struct WordSpan
{
    const Word *words;
    qsizetype count;
};

// The first word of each line of `span`, in as few lines of at most `maxChars` characters
// as it fits (a longer word takes a line of its own), a new one after each dialogue dash.
// Up to `maxLines` lines are balanced and their breaks chosen by their classes; `price`, if
// given, is what that costs.
std::vector<qsizetype> lineStarts(WordSpan span, int maxChars, int maxLines,
                                  double *price = nullptr);

// Writes a passage's cues in order, each from the byte ranges of its lines.
class CueWriter
{
public:
    explicit CueWriter(QByteArrayView passage) : m_passage(passage) {}

    struct Range
    {
        qsizetype begin;
        qsizetype end;
    };
    using Lines = QVarLengthArray<Range, maxCueLines>;
    // The next cue's text, which lasts until the cue after it is made.
    CueView make(const Lines &lines, bool last);

private:
    struct OpenTag
    {
        QByteArrayView name;
        QByteArray opening; // as it is opened again
    };
    void applyTag(QByteArrayView tag);

    QByteArrayView m_passage;
    QList<OpenTag> m_open; // tags open at the end of the last cue made
    QByteArray m_text; // of the last cue made
};

#endif
