// The timing lexer: finds "HH:MM:SS:FF - HH:MM:SS:FF" in a line of UTF-8, as the regular
// expression (\d{2}:\d{2}:\d{2}:\d{2})\s*-\s*(\d{2}:\d{2}:\d{2}:\d{2}) would, plus drop-frame
// "HH:MM:SS;FF" where the rate has drop frame. It works a word at a time, on the hot path.
#ifndef CUEFOLD_TIMING_H
#define CUEFOLD_TIMING_H

#include "timecode.h"

#include <QByteArrayView>
#include <QStringView>

#include <optional>

inline constexpr qsizetype timecodeLength = 11; // HH:MM:SS:FF
inline constexpr qsizetype shortestTiming = 2 * timecodeLength + 1; // no spaces around '-'

// Where the timing pattern first matches in one line; start is -1 when it does not.
struct TimingMatch
{
    qsizetype start = -1;
    qsizetype length = 0;

    bool found() const { return start >= 0; }
};

// The leftmost timing in [begin, end), trying the places two before each colon from `colon`
// (the first colon of the line, or end) on.
TimingMatch findTimingFrom(const char *begin, const char *end, const char *colon, bool dropFrame);
TimingMatch findTiming(QByteArrayView line, bool dropFrame);

// Whether a timing could still start at the beginning of `text` once more bytes follow.
bool couldStartTiming(QByteArrayView text, bool dropFrame);

// The fields of a timecode that the lexer has matched at p.
inline Timecode timecodeAt(const char *p)
{
    const auto field = [p](int at) { return (p[at] - '0') * 10 + (p[at + 1] - '0'); };
    return Timecode{field(0), field(3), field(6), field(9), p[8] == ';'};
}

// HH:MM:SS:FF, or HH:MM:SS;FF where the rate has drop frame, as a user types it.
std::optional<Timecode> parseTimecode(QStringView text, const FrameRate &rate);

#endif
