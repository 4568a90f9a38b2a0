// Writing a passage that was gathered whole: one speaker or a dialogue, in one cue or split
// into several, each speaker's text after their voice.
#ifndef CUEFOLD_DIALOGUE_H
#define CUEFOLD_DIALOGUE_H

#include "diagnostics.h"
#include "splitting.h"
#include "webvtt.h"

#include <QByteArray>
#include <QList>

// One speaker's text in a passage (or, splitting with kept lines, one line of it).
struct Segment
{
    QByteArray voice;
    QByteArray text;
};

struct GatheredPassage
{
    QByteArrayView timing; // "start --> end", as written for a cue of the whole passage
    qint64 line = 0;
    qint64 start = 0; // milliseconds
    qint64 end = 0;
};

class DialogueWriter
{
public:
    // `diagnostics` is null unless cues are checked; `voice` names text with no label.
    DialogueWriter(DocumentWriter &writer, Diagnostics *diagnostics, const SplitLimits &split,
                   const QByteArray &voice);

    void write(const QList<Segment> &segments, const GatheredPassage &passage);

private:
    void writeWhole(const QList<Segment> &segments, const GatheredPassage &passage);
    void writeSplit(const QList<Segment> &segments, const GatheredPassage &passage);
    void writeCue(qint64 line, qint64 start, qint64 end, const QByteArray &text);
    QByteArray tagOf(const QByteArray &voice) const;
    QByteArray turns(const Segment *segments, qsizetype count) const;

    DocumentWriter &m_writer;
    Diagnostics *m_diagnostics;
    SplitLimits m_split;
    QByteArray m_voice;
    QByteArray m_voiceTag;
};

#endif
