// Cues from a passage that was gathered whole: one speaker or a dialogue, in one cue or split
// into several, each speaker's text a turn of its own.
#ifndef CUEFOLD_DIALOGUE_H
#define CUEFOLD_DIALOGUE_H

#include "cues.h"
#include "diagnostics.h"
#include "splitting.h"

#include <QByteArray>
#include <QList>

#include <optional>

// One speaker's text in a passage; kept lines are separated by '\n'.
struct Segment
{
    QByteArray voice;
    QByteArray text;
};

// For a split passage: a speaker's share that shows nothing (tags alone) is no turn, since its
// cue would show nothing. Its end tags go to the text before, its other tags to the text after,
// and the shares on either side of it, if one speaker's, are one, joined by `separator`.
void joinTagTurns(QList<Segment> &segments, char separator);

struct GatheredPassage
{
    qint64 line = 0;
    CueTime start;
    CueTime end;
};

class DialogueWriter
{
public:
    // With `unnamed`, the voice of text with no label, the text shows each labelled speaker's
    // name where they start to speak.
    DialogueWriter(TimedCueSink &sink, const SplitLimits &split,
                   std::optional<QByteArray> unnamed = std::nullopt);

    void write(const QList<Segment> &segments, const GatheredPassage &passage);

private:
    void writeWhole(const QList<Segment> &segments, const GatheredPassage &passage);
    void writeSplit(const QList<Segment> &segments, const GatheredPassage &passage);
    void writeCue(TimedCue cue, bool split);
    QByteArray named(const Segment &segment);
    qsizetype sharedTurns(const QList<Segment> &segments, qsizetype first) const;

    TimedCueSink &m_sink;
    SplitLimits m_split;
    std::optional<QByteArray> m_unnamed;
    QByteArray m_lastVoice; // of the last cue's last turn
};

#endif
