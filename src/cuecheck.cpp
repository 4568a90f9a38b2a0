// --check's warnings about each cue.
#include "cuecheck.h"

#include "markup.h"

#include <algorithm>

void CueCheck::startCue(const TimedCue &cue)
{
    m_format.startCue(cue);
    m_cue = cue;
    m_visible = -1;
    m_longest = 0;
    for (qsizetype i = 0; i < cue.turnCount; ++i) {
        const QByteArrayView text = cue.turns[i].text;
        for (qsizetype from = 0;;) {
            const qsizetype end = text.indexOf('\n', from);
            m_lastLine = visibleLength(text.sliced(from, (end < 0 ? text.size() : end) - from));
            m_visible += m_lastLine + 1;
            m_longest = std::max(m_longest, m_lastLine);
            if (end < 0)
                break;
            from = end + 1;
        }
    }
}

void CueCheck::continueLine(QByteArrayView text)
{
    m_format.continueLine(text);
    const qsizetype added = visibleLength(text) + 1;
    m_visible += added;
    m_lastLine += added;
    m_longest = std::max(m_longest, m_lastLine);
}

void CueCheck::endCue()
{
    m_format.endCue();
    m_diagnostics.cue(m_cue.line, m_cue.start.milliseconds, m_cue.end.milliseconds, m_visible,
                      m_longest, m_cue.split);
}
