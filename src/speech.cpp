// How long words take to say.
#include "speech.h"

#include "text.h"

#include <QChar>
#include <QString>

#include <algorithm>
#include <utility>

namespace {

// Every digit of a number says its name, and those after the first their place too ("forty
// two", "nineteen ninety-nine"); a zero there only a share of a place ("five hundred").
constexpr qint64 placeUnits = syllableUnits * 3 / 2;
constexpr qint64 zeroPlaceUnits = syllableUnits / 2;

bool isVowel(char c)
{
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'y';
}

bool isConsonant(char c)
{
    return c && !isVowel(c);
}

// Scripts written a syllable a character: CJK ideographs, kana, Hangul syllables.
bool isSyllabic(char32_t c)
{
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF)
            || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
            || (c >= 0xFF66 && c <= 0xFF9D) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Latin letters with marks, folded to the vowel or consonant they carry: à é ï ô ü ý...
char latinBase(char32_t c)
{
    if (c < 0xC0 || c > 0x17F || c == 0xD7 || c == 0xF7)
        return 0;
    const QString decomposed = QChar::decomposition(c);
    const char16_t base = decomposed.isEmpty() ? 0 : decomposed[0].toLower().unicode();
    return base < 0x80 && isAsciiAlnum(char(base)) ? char(base) : 'x';
}

// The syllables of the word a symbol is read as: "per cent", "dollars", "euros", "degrees",
// "and", "pounds".
qint64 symbolSyllables(char32_t c)
{
    switch (c) {
    case '%':
    case '$':
    case 0x20AC:
    case 0xB0:
        return 2;
    case '&':
    case 0xA3:
        return 1;
    default:
        return 0;
    }
}

} // namespace

inline void SyllableCounter::addLatin(char c, bool accented)
{
    if (!isVowel(c)) {
        m_partConsonants = true;
    } else if (!isVowel(m_last)) {
        ++m_syllables;
        m_partSyllables = true;
    }
    if (c == 'e') {
        // A consonant and l or r before it make a syllable: "table", "acre", "hundred".
        const bool syllabic = (m_last == 'l' || m_last == 'r') && isConsonant(m_beforeLast)
                && m_beforeLast != m_last;
        m_silentE = isConsonant(m_last) && !syllabic && !accented; // not "café"
    } else if (m_silentE && m_last == 'e' && c == 'd') {
        m_silentE = m_beforeLast != 't' && m_beforeLast != 'd'; // not "wanted", "needed"
    } else if (m_silentE && m_last == 'e' && c == 's') { // not "places", "wishes", "boxes"
        m_silentE = !(m_beforeLast == 's' || m_beforeLast == 'z' || m_beforeLast == 'x'
                      || m_beforeLast == 'c' || m_beforeLast == 'g' || m_beforeLast == 'h');
    } else {
        m_silentE = false;
    }
    m_beforeLast = m_last;
    m_last = c;
}

void SyllableCounter::add(QByteArrayView unit)
{
    // Most units are a letter after a letter, which needs none of addOther's tests.
    const char lower = unit.size() == 1 ? char(unit[0] | 0x20) : 0; // of an ASCII letter
    if (m_previous == Unit::Letter && lower >= 'a' && lower <= 'z')
        addLatin(lower, false);
    else
        addOther(unit);
}

void SyllableCounter::addOther(QByteArrayView unit)
{
    const Unit previous = std::exchange(m_previous, Unit::Other);
    char c;
    bool accented = false;
    if (unit.size() == 1) {
        c = unit[0];
        if (!isAsciiAlnum(c)) {
            addMark(char32_t(uchar(c)), previous);
            return;
        }
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    } else if (unit.startsWith('&')) { // an entity, which shows a mark
        addMark(0, previous);
        return;
    } else {
        int length;
        const char32_t code = codePointAt(unit.data(), &length);
        accented = (c = latinBase(code)) != 0;
        if (!accented) {
            if (isSyllabic(code)) {
                ++m_syllables;
            } else if (QChar::isLetter(code)) {
                ++m_otherLetters;
            } else {
                addMark(code, previous);
                return;
            }
            m_partSyllables = true;
            m_end = End::None;
            m_last = m_beforeLast = 0;
            return;
        }
    }
    m_innerStop = m_innerStop || previous == Unit::FullStop;
    m_end = End::None;
    if (isAsciiDigit(c)) {
        m_numberUnits += previous != Unit::Digit ? syllableUnits
                : c == '0'                      ? zeroPlaceUnits
                                                : placeUnits;
        m_previous = Unit::Digit;
        m_partSyllables = true;
        m_last = m_beforeLast = 0; // a digit parts vowel groups and keeps the silent e
        return;
    }
    m_previous = Unit::Letter;
    if (previous == Unit::Apostrophe) { // a contraction's or a possessive's end
        m_syllables += m_syllabicN && c == 't'; // "isn't"
        if (c == 's' || c == 'd') // "one's", "she'd": no syllable, and the silent e stays
            return;
    }
    addLatin(c, accented);
}

void SyllableCounter::addMark(char32_t mark, Unit previous)
{
    const bool apostrophe = mark == '\'' || mark == 0x2019;
    m_syllabicN = apostrophe && m_last == 'n' && isConsonant(m_beforeLast);
    m_last = m_beforeLast = 0; // a mark parts vowel groups and keeps the silent e
    if (apostrophe) {
        m_previous = Unit::Apostrophe;
    } else if (mark == '.' || mark == '!' || mark == '?' || mark == 0x2026) {
        if (m_syllables || m_partConsonants || m_partSyllables || m_numberUnits)
            m_end = mark == '.' && m_end == End::None ? End::FullStop : End::Other;
        if (mark == '.') {
            m_shortForm = previous == Unit::Letter && vowelless();
            if (previous == Unit::Letter)
                m_previous = Unit::FullStop;
            endPart();
        }
    } else if (mark == ',' || mark == ';' || mark == ':') {
        m_end = End::None;
    } else if (mark == '-') {
        endPart();
    } else {
        m_numberUnits += symbolSyllables(mark) * syllableUnits;
    }
}

void SyllableCounter::endPart()
{
    m_syllables += vowelless(); // "Hmm", "Mr", the S of "U.S."
    m_partConsonants = m_partSyllables = false;
}

qint64 SyllableCounter::units() const
{
    const qint64 syllables = m_syllables + vowelless() - (m_silentE && m_syllables > 1 ? 1 : 0)
            + (m_otherLetters + 1) / 2;
    // A full stop after a short form is no sentence's end: "Mr.", "U.S.".
    const bool drawnOut = m_end == End::Other
            || (m_end == End::FullStop && !m_innerStop && !m_shortForm);
    return std::max<qint64>(syllables * syllableUnits + m_numberUnits, 1)
            + (drawnOut ? finalLengtheningUnits : 0);
}
