// Splitting a passage into readable cues, and sharing its time among them.
#include "splitting.h"

#include "planner.h"

// Read once ahead of the split, since the passage's time is shared by it.
qint64 speakingTime(QByteArrayView text)
{
    return WordReader(text).speakingTime();
}

void splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits,
                  const CueSink &sink, qint64 spoken)
{
    CueClock clock(start, end, spoken < 0 ? speakingTime(text) : spoken);
    Planner(text, limits, clock, sink).run();
}

QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits)
{
    QList<Cue> cues;
    splitPassage(text, start, end, limits, [&cues](const CueView &cue) {
        cues.append(Cue{cue.text.toByteArray(), cue.start, cue.end});
    });
    if (cues.isEmpty()) // nothing but blanks, which the converter never passes
        cues.append(Cue{text.toByteArray(), start, end});
    return cues;
}
