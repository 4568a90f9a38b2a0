#ifndef CUEFOLD_CUES_H
#define CUEFOLD_CUES_H
#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// One cue's text: its lines joined with '\n', and how many characters a viewer sees.
struct CueText
{
    QByteArray text;
    qsizetype visible = 0;
};

// What a viewer sees of cue text: markup tags (<...>) count nothing, an entity (&amp; &gt; &#39; ...) counts one, every other code point one.
qsizetype visibleLength(QByteArrayView text);

// Splits a passage (valid UTF-8, one line, words separated by single spaces, no line breaks) into consecutive
// cues of at most maxLines lines of at most maxChars visible characters each.
QList<CueText> splitPassage(QByteArrayView text, int maxChars, int maxLines);
#endif
