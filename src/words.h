// A passage's words as the splitter sees them, read one at a time, so that a long passage
// is never held twice: where each lies in the bytes and on screen, and how well the passage
// breaks before it.
#ifndef CUEFOLD_WORDS_H
#define CUEFOLD_WORDS_H

#include "breaks.h"

#include <QByteArrayView>
#include <QVarLengthArray>

struct Word
{
    qsizetype begin = 0; // bytes of the passage
    qsizetype end = 0;
    qsizetype from = 0; // visible offsets: words [a, b) with their gaps measure to(b-1) - from(a)
    qsizetype to = 0;
    // Speaking time (speech.h) from the passage's start, the pause before the word included:
    // words [a, b) take spokenTo(b-1) - spokenFrom(a).
    qint64 spokenFrom = 0;
    qint64 spokenTo = 0;
    Break before = Break::Sentence; // a passage starts as a sentence does
    WordTraits traits;
};

// Whether words [first, end) of `w`, a line or a cue that `after` ends, hold the first word
// of a sentence at their end after other words, or its last word at their start, alone or
// before others. A word cut off by a comma stands on its own ("Well, / ...", "..., / Emo?").
inline bool strands(const Word *w, qsizetype first, qsizetype end, Break after)
{
    if (end - first < 2)
        return endsSentence(after) && w[first].before > Break::Clause;
    return (endsSentence(w[end - 1].before) && after > Break::Clause)
            || (endsSentence(w[first + 1].before) && w[first].before > Break::Clause);
}

// Tags standing alone stay with the text they mark up, so that no line ends in "<i>" or
// starts with "</i>": end tags join the word before, other tags the word after.
class WordReader
{
public:
    explicit WordReader(QByteArrayView passage) : m_passage(passage) {}

    // The next word, or false after the last.
    bool next(Word *word);
    // The speaking time of the words not yet read, which it reads.
    qint64 speakingTime();

private:
    bool scan(Word *word, bool *bare);
    bool scanRun(Word *word, qsizetype end, bool wide, bool *bare);
    bool scanMarked(Word *word, bool *bare);
    void classify(QByteArrayView run, Word *word);
    void follow(Break *before, const WordTraits &traits, bool newLine, qint64 spoken);

    QByteArrayView m_passage;
    qsizetype m_pos = 0;
    qsizetype m_visible = 0;
    qint64 m_spoken = 0;
    Word m_pending;
    bool m_hasPending = false;
    bool m_first = true;
    bool m_newLine = false; // a line end came before a word that showed nothing
    WordTraits m_last; // of the word given last, and whether it opened a sentence
    bool m_lastOpens = true;
    // A word's visible units; a long one keeps only its first and last few, which are all
    // its classes look at, so that a word of megabytes costs no more than a short one.
    QVarLengthArray<QByteArrayView, 32> m_units;
    // Passages repeat their words: what a short run of text makes is remembered by its bytes,
    // in a table of 2^knownBits places that each hold the last run that fell there.
    static constexpr int knownBits = 10;
    struct KnownWord
    {
        quint64 bytes[2];
        WordTraits traits;
        qint64 spoken;
        quint8 size; // of the word the run starts, in bytes
        quint8 visible; // and in visible units
    };
    struct RunKey
    {
        RunKey(const char *run, qsizetype runSize, const char *end);
        quint64 bytes[2];
        quint64 size;
        size_t slot;
    };
    bool isKnown(const RunKey &key) const;
    KnownWord m_known[1 << knownBits];
    quint8 m_knownSize[1 << knownBits] = {}; // 0: the place is empty
};

#endif
