// Cue text markup as a WebVTT reader sees it: tags (<i>, <v Anna>, <00:00:01.000>) show
// nothing, an entity (&amp; &#39;) shows one character, every other code point one.
#ifndef CUEFOLD_MARKUP_H
#define CUEFOLD_MARKUP_H

#include <QByteArrayView>

// Longer is no tag: a voice's name fits, and every cue of a split passage opens its open
// tags again.
inline constexpr qsizetype maxTagLength = 128;

// The smallest piece a break may not enter: a tag, an entity or one code point.
struct Element
{
    qsizetype end;
    bool isTag;
};

// The element that starts at byte i of `text`.
Element nextElement(QByteArrayView text, qsizetype i);

// Whether `text` shows anything but blanks and line ends.
bool showsText(QByteArrayView text);

// Where the end tags that lead a run of tags and blanks end: what closes the text before it.
qsizetype leadingEndTags(QByteArrayView tags);

// How many characters a viewer sees; or, given `atMost`, as many of them as that and one more.
qsizetype visibleLength(QByteArrayView text, qsizetype atMost);
inline qsizetype visibleLength(QByteArrayView text)
{
    return visibleLength(text, text.size());
}

// Puts each line break of `text` between the text of two lines: after the end tags that close
// the text before it, before the other tags, which open the text after it. A line of tags
// alone so joins its neighbours (before all text or after it, the line there is): a reader
// would show it as an empty line.
void placeLineBreaks(QByteArray &text);

#endif
