// How long words take to say, which the splitter shares a passage's time by: syllables, and
// a pause where a sentence or a clause ends. Times are in units of half a syllable.
#ifndef CUEFOLD_SPEECH_H
#define CUEFOLD_SPEECH_H

#include "breaks.h"

#include <QByteArrayView>

inline constexpr qint64 syllableUnits = 2;

// Speakers stop for about two syllables' time at a sentence's end and one at a comma's.
constexpr qint64 pauseUnits(Break b)
{
    return endsSentence(b) ? 2 * syllableUnits : b == Break::Clause ? syllableUnits : 0;
}

// Before that stop, the last syllable of a sentence, or of speech that trails off ("So..."),
// is drawn out by about half its length; that time is the word's own, ahead of the pause.
inline constexpr qint64 finalLengtheningUnits = syllableUnits / 2;

// A word's syllables, counted from its visible units (code points and entities) one at a
// time: groups of vowels in Latin letters less a silent e ("safe", and before a final d or
// s: "used", "makes"), a syllable an ideograph or kana, two letters of other scripts, what
// numbers and some symbols say, and the drawn-out end of a sentence.
class SyllableCounter
{
public:
    void add(QByteArrayView unit);
    // What saying the word takes: a unit at least, so that "-" or "..." takes some time.
    qint64 units() const;

private:
    enum class Unit : quint8 { Other, Letter, Digit, Apostrophe, FullStop };
    // The marks after the word's last letter or digit that end a sentence: a full stop alone,
    // which may end a short form, or others (! ? ... or the one character).
    enum class End : quint8 { None, FullStop, Other };
    void addOther(QByteArrayView unit);
    void addMark(char32_t mark, Unit previous);
    void addLatin(char c, bool accented);
    void endPart();
    // Letters with no vowel since the word's start or its last full stop or hyphen.
    bool vowelless() const { return m_partConsonants && !m_partSyllables; }

    qint64 m_syllables = 0;
    qint64 m_otherLetters = 0;
    qint64 m_numberUnits = 0; // what digits and symbols say
    char m_last = 0; // the last Latin letter, in lower case, or 0 after anything else
    char m_beforeLast = 0;
    bool m_silentE = false; // the word so far ends in a silent e, or in its -ed or -es
    Unit m_previous = Unit::Other;
    End m_end = End::None;
    bool m_syllabicN = false; // an apostrophe after a consonant and n: "isn't", "didn't"
    bool m_innerStop = false; // a full stop between letters: "U.S.", "a.m."
    bool m_shortForm = false; // the last full stop follows letters with no vowel: "Mr."
    // The part of the word since its start or its last full stop or hyphen: "U", "S"; "T",
    // "shirt". Letters with no vowel are a sound or a letter's name, a syllable at least.
    bool m_partConsonants = false;
    bool m_partSyllables = false; // a vowel, a digit or a letter of another script
};

#endif
