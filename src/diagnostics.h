// What cuefold reports about a transcript, one warning a finding, with the thresholds that
// decide what is worth a word. The converter says what it met; this says it.
#ifndef CUEFOLD_DIAGNOSTICS_H
#define CUEFOLD_DIAGNOSTICS_H

#include "neartiming.h"
#include "readability.h"
#include "timecode.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

// Quoted text is cut to this many characters.
inline constexpr qsizetype maxQuoted = 40;

class Diagnostics
{
public:
    using Report = std::function<void(qint64 line, const QString &message)>;

    // What a line that looks like a timing has instead of one.
    using NearMiss = NearTiming::Kind;
    // What becomes of such a line.
    enum class Fate { CueText, Dropped };

    explicit Diagnostics(Report report) : m_report(std::move(report)) {}

    // Why a transcript may have no timing line, from the first near miss; or nothing.
    static QString missingTimingHint(NearMiss nearMiss);

    void textAbove(qint64 line);
    void timecodeRead(qint64 line, QByteArrayView written, const FramePosition &position);
    void reversedTiming(qint64 line);
    void noText(qint64 line);
    void clippedByStart(qint64 line);
    void droppedCuesByStart(qint64 firstLine, qint64 count, bool every);
    void overlap(qint64 line, qint64 previousEnd);
    // Reading speed, duration and line length of a cue showing `visible` characters, the
    // longest line `longestLine`; `split` says whether --max-chars made it.
    void cue(qint64 line, qint64 start, qint64 end, qsizetype visible, qsizetype longestLine,
             bool split);
    // A line a person meant as a timing, which the timing pattern does not take.
    NearMiss nearTiming(qint64 line, QByteArrayView text, Fate fate);
    // Text beside the timing on its line, which is dropped.
    void textOnTimingLine(qint64 line, QByteArrayView before, QByteArrayView after);
    // The kind of each timing (drop frame or not) that --start `start` is read by: that of the
    // first; told once when another differs.
    void startKind(qint64 line, Timecode start, bool dropFrame, const FrameRate &rate);
    // A C1 control character, given as its UTF-8, in text read as `encoding`.
    void controlCharacter(qint64 line, QByteArrayView character, const QString &encoding);
    // Every timecode whose fields are not all in range at `rate`; they are told of once a file,
    // by fieldsPastRange() at its end, when the largest frame field is known.
    void timecodePastRange(qint64 line, const Timecode &timecode, const FrameRate &rate);
    void fieldsPastRange(const FrameRate &rate);

private:
    void warn(qint64 line, const QString &message);

    Report m_report;
    // The first line with a frame field past the rate, and the largest such field and its line.
    qint64 m_firstFrameLine = 0;
    qint64 m_largestFrameLine = 0;
    Timecode m_largestFrame;
    std::optional<bool> m_startDropFrame;
    bool m_reportedStartKind = false;
    // The first timecode with minutes or seconds past 59, and its line.
    qint64 m_clockLine = 0;
    Timecode m_clock;
};

#endif
