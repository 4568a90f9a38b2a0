// Lines a person meant as timings that the timing pattern does not take: whether a line is one,
// and what it has instead of a timing, in a short phrase.
#ifndef CUEFOLD_NEARTIMING_H
#define CUEFOLD_NEARTIMING_H

#include <QByteArrayView>
#include <QString>

// The shortest line that can be near a timing: one timecode alone, "00:00:07:00".
inline constexpr qsizetype shortestNearTiming = 11;

struct NearTiming
{
    // DropFrame and Milliseconds explain a transcript with no timing line at all.
    enum class Kind { None, DropFrame, Milliseconds, Other };
    Kind kind = Kind::None;
    QString reason;
};

// Whether a line of valid UTF-8 that holds no timing at the rate in use is near one: within one
// edit (a character deleted, inserted or replaced) of a timing at any rate and kind, or two
// clock times joined by something dash-like.
NearTiming nearTimingOf(QByteArrayView line);

#endif
