#ifndef CUEFOLD_TRANSCRIPT_H
#define CUEFOLD_TRANSCRIPT_H

#include <QString>
#include <QStringView>

// Turns a transcript of HH:MM:SS:FF timing lines and text lines into a WebVTT document.
QString convertTranscript(const QString &transcript);

// Where the timing pattern first matches in one line; start is -1 when it does not.
// Public so that tests can hold the hand-written matcher against the regular expression.
struct TimingMatch
{
    qsizetype start = -1;
    qsizetype length = 0;
};
TimingMatch findTiming(QStringView line);

#endif
