// What cuefold reports about a transcript, one warning a finding, with the thresholds that
// decide what is worth a word. The converter says what it met; this says it.
#ifndef CUEFOLD_DIAGNOSTICS_H
#define CUEFOLD_DIAGNOSTICS_H

#include "timecode.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

// Comfortable reading for most viewers; subtitling guides give 15 to 20.
inline constexpr int maxCharactersPerSecond = 20;
// Shorter cues flash by before the eye has found them.
inline constexpr qint64 minCueMilliseconds = 5000 / 6;

class Diagnostics
{
public:
    using Report = std::function<void(qint64 line, const QString &message)>;

    explicit Diagnostics(Report report) : m_report(std::move(report)) {}

    void textAbove(qint64 line);
    void timecodeRead(qint64 line, QByteArrayView written, const FramePosition &position);
    void reversedTiming(qint64 line);
    void noText(qint64 line);
    void droppedByStart(qint64 line);
    void clippedByStart(qint64 line);
    void overlap(qint64 line, qint64 previousEnd);
    // Reading speed and duration of a cue showing `visible` characters.
    void cue(qint64 line, qint64 start, qint64 end, qsizetype visible);
    // A line a person meant as a timing, which the timing pattern does not take.
    void nearTiming(qint64 line, QByteArrayView text);

private:
    void warn(qint64 line, const QString &message);

    Report m_report;
};

#endif
