// Splitting a passage's text into consecutive cues of at most so many lines of so many
// characters, breaking where a reader would, and sharing the passage's time among them.
#ifndef CUEFOLD_SPLITTING_H
#define CUEFOLD_SPLITTING_H

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// What readers take in at a glance, and what fits a screen.
inline constexpr int minLineLength = 10;
inline constexpr int maxLineLength = 200;
inline constexpr int maxCueLines = 4;
inline constexpr int defaultCueLines = 2;

struct SplitLimits
{
    int maxChars = 0; // 0: passages are not split
    int maxLines = defaultCueLines;
};

// One cue: its lines joined with '\n', what a viewer sees of them, and its times.
struct Cue
{
    QByteArray text;
    qsizetype visible = 0;
    qint64 start = 0; // milliseconds
    qint64 end = 0;
};

// Splits a passage (valid UTF-8, one line, words separated by single spaces) shown from
// `start` to `end`.
QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits);

#endif
