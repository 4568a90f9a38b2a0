// Splitting a passage's text into consecutive cues of at most so many lines of so many
// characters, breaking where a reader would, and sharing the passage's time among them.
#ifndef CUEFOLD_SPLITTING_H
#define CUEFOLD_SPLITTING_H

#include "readability.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>

// What readers take in at a glance, and what fits a screen.
inline constexpr int minLineLength = 10;
inline constexpr int maxLineLength = 200;
inline constexpr int maxCueLines = 4;
inline constexpr int defaultCueLines = 2;
// Subtitling guides give six seconds to a full two-line cue; one that stays much longer is
// read twice. A limit under a second leaves no room above the 5/6 s a cue needs to be read,
// and past a minute no cue needs one.
inline constexpr qint64 defaultCueMilliseconds = maxCueMilliseconds;
inline constexpr int minDurationLimit = 1; // seconds
inline constexpr int maxDurationLimit = 60;

struct SplitLimits
{
    int maxChars = 0; // 0: passages are not split
    int maxLines = defaultCueLines;
    qint64 maxDuration = defaultCueMilliseconds; // when the passage has the time
};

// One cue: its lines joined with '\n', and its times.
struct Cue
{
    QByteArray text;
    qint64 start = 0; // milliseconds
    qint64 end = 0;
};

// A cue as the splitter hands it on: its text lasts until the sink returns, so that no cue
// costs an allocation or an atomic count of its own.
struct CueView
{
    QByteArrayView text;
    qint64 start = 0;
    qint64 end = 0;
};

// Where a share of a passage's time ends: `part` of the `total` units of speaking time its
// cues hold, rounded to the nearest millisecond.
constexpr qint64 shareEnd(qint64 start, qint64 duration, qint64 part, qint64 total)
{
    return start + (2 * duration * part + total) / (2 * total);
}

using CueSink = std::function<void(const CueView &)>;

// What saying a passage takes, in the units of speech.h.
qint64 speakingTime(QByteArrayView text);

// Splits a passage (valid UTF-8, one line, words separated by blanks) shown from `start` to
// `end`, handing each cue on as soon as it is settled. When the end is after the start, each
// cue ends after it starts, and no cue stays past the time limit unless it is one word that
// alone does.
// `spoken` is the passage's speakingTime(), when the caller knows it already.
void splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits,
                  const CueSink &sink, qint64 spoken = -1);
QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits);

#endif
