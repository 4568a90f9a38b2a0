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
// Subtitling guides give six seconds to a full two-line cue; one that stays much longer is
// read twice. A limit under a second leaves no room above the 5/6 s a cue needs to be read,
// and past a minute no cue needs one.
inline constexpr qint64 defaultCueMilliseconds = 7000;
inline constexpr int minDurationLimit = 1; // seconds
inline constexpr int maxDurationLimit = 60;

struct SplitLimits
{
    int maxChars = 0; // 0: passages are not split
    int maxLines = defaultCueLines;
    qint64 maxDuration = defaultCueMilliseconds; // when the passage has the time
};

// One cue: its lines joined with '\n', what a viewer sees of them, and its times.
struct Cue
{
    QByteArray text;
    qsizetype visible = 0;
    qint64 start = 0; // milliseconds
    qint64 end = 0;
};
// Moved by realloc, so that a list of a million cues grows without a second copy.
Q_DECLARE_TYPEINFO(Cue, Q_RELOCATABLE_TYPE);

// Where a share of a passage's time ends: `part` of the `total` characters its cues show,
// rounded to the nearest millisecond.
constexpr qint64 shareEnd(qint64 start, qint64 duration, qsizetype part, qsizetype total)
{
    return start + (2 * duration * part + total) / (2 * total);
}

// Splits a passage (valid UTF-8, one line, words separated by blanks) shown from `start` to
// `end`. When the end is after the start, every cue ends after it starts.
QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits);

#endif
