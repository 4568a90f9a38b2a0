// --check's warnings about each cue (reading speed, duration, line length), taken as a sink
// between the converter and the format, so that one place sees every cue whatever made it.
#ifndef CUEFOLD_CUECHECK_H
#define CUEFOLD_CUECHECK_H

#include "cues.h"
#include "diagnostics.h"

class CueCheck final : public TimedCueSink
{
public:
    // Hands every cue on to `format`.
    CueCheck(TimedCueSink &format, Diagnostics &diagnostics)
        : m_format(format), m_diagnostics(diagnostics)
    {
    }

    void startCue(const TimedCue &cue) override;
    void continueLine(QByteArrayView text) override;
    void endCue() override;
    void finish() override { m_format.finish(); }

private:
    TimedCueSink &m_format;
    Diagnostics &m_diagnostics;
    TimedCue m_cue;
    qsizetype m_visible = 0; // characters a viewer sees, a line end counting one
    qsizetype m_longest = 0; // of its lines
    qsizetype m_lastLine = 0;
};

#endif
