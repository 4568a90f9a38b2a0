// Speakers: the labels that open a speaker's text in a transcript ("ANNA: Hello"), and the
// voice tags that name them in a cue.
#ifndef CUEFOLD_SPEAKERS_H
#define CUEFOLD_SPEAKERS_H

#include <QByteArray>
#include <QByteArrayView>

// What names the speaker at the start of a line: one to four words, the first starting with a
// capital letter, at most maxLabelLength characters, then a colon and a space (or the line's
// end). Not a label: a time ("10:30"), and words that open notes rather than speech ("Note:",
// "Warning:", "Time:" ...).
inline constexpr qsizetype maxLabelLength = 32;
inline constexpr int maxLabelWords = 4;

struct SpeakerLabel
{
    QByteArrayView name; // empty when the line has no label
    QByteArrayView text; // the rest of the line, trimmed
};
SpeakerLabel speakerLabel(QByteArrayView line);

// "<v NAME>" with NAME escaped as WebVTT wants it; nothing for an empty name.
QByteArray voiceTag(QByteArrayView name);

#endif
