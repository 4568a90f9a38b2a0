// Speakers: the labels that may open a speaker's text in a transcript ("ANNA: Hello"), which
// of them name speakers, told from the transcript as a whole, and the voice tags that name them.
#ifndef CUEFOLD_SPEAKERS_H
#define CUEFOLD_SPEAKERS_H

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

// What may name the speaker at the start of a line: one to four words, the first starting with
// a letter, at most maxLabelLength characters, maybe in brackets ("[ANNA]", "【李明】") or
// followed by an extension in parentheses ("NARRATOR (V.O.)"), then a colon (":" or the
// full-width "：") and a space, the line's end, or text that no time, ratio or address would
// have there.
inline constexpr qsizetype maxLabelLength = 32;
inline constexpr int maxLabelWords = 4;
// "(off-screen)", "(on the phone)"; longer parentheses are remarks, not extensions.
inline constexpr qsizetype maxExtensionLength = 16;
// A label, its brackets, extension and colon, and the character after it, lie within this many
// bytes of the line's start: all that reading ahead keeps of a line.
inline constexpr qsizetype labelReach = 4 * (maxLabelLength + maxExtensionLength + 8);

struct SpeakerLabel
{
    QByteArrayView name; // the voice's name: no brackets, no extension; empty when no label
    QByteArrayView text; // the rest of the line, trimmed
};
SpeakerLabel speakerLabel(QByteArrayView line);

// Which labels name speakers. A transcript tells it as a whole: a label names a speaker when
// it is written in capitals ("ANNA:") or the same name opens lines more than once, once at
// least with text after it ("anna: Hi" ... "anna:"), and it looks like a name, not a heading
// ("Note:") or the start of a sentence ("The point:", "John said:"). A sound or a heading
// alone on its line ("Applause:") is no evidence, however often. A list of names replaces all
// that evidence.
class Speakers
{
public:
    // "Anna Berg,Q,A": these name speakers, in any case, and nothing else does.
    static Speakers listed(const QString &names);

    // A use seen while reading ahead; `withText` when text follows it on its line.
    void count(const SpeakerLabel &label, bool withText);
    bool isSpeaker(const SpeakerLabel &label) const;
    bool isListed() const { return m_listed; }

private:
    // What the rules make of a name as written, worked out once for each spelling.
    struct Name
    {
        QString key; // in lower case
        bool plausible; // a name, not a heading or a sentence's start
        bool capitals;
    };
    const Name &nameOf(QByteArrayView spelling) const;

    struct Uses
    {
        int count = 0;
        bool withText = false;
    };
    QHash<QString, Uses> m_uses; // by the name in lower case
    mutable QHash<QByteArray, Name> m_names; // by spelling
    bool m_listed = false;
};

// Reads a transcript ahead for its speakers, in pieces of decoded text cut anywhere, keeping no
// more than the start of the line at hand.
class SpeakerScan
{
public:
    bool feed(QByteArrayView text); // always true: there is no output to fail
    void finish();
    qint64 lineNumber() const { return m_ended + 1; } // of the next byte
    const Speakers &speakers() const { return m_speakers; }

private:
    void takeLine();

    Speakers m_speakers;
    QByteArray m_start; // of the line at hand, up to labelReach bytes
    bool m_cut = false; // the line goes on past m_start
    qint64 m_ended = 0; // lines ended so far: by LF, CR LF or a lone CR
    bool m_skipLineFeed = false; // the last piece ended in CR
};

// What a viewer reads where the speaker changes, as captioners write it: the name in capitals
// and a colon ("ANNA: "). A name holds no markup: its characters are letters, digits and marks.
QByteArray shownName(QByteArrayView voice);

// "<v NAME>" with NAME escaped as WebVTT wants it; nothing for an empty name.
QByteArray voiceTag(QByteArrayView name);

#endif
