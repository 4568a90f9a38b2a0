// How long words take to say.
#include "speech.h"

#include "text.h"

#include <QChar>
#include <QString>

#include <algorithm>

namespace {

bool isVowel(char c)
{
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'y';
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

} // namespace

void SyllableCounter::add(QByteArrayView unit)
{
    char c = 0;
    if (unit.size() == 1 && isAsciiAlnum(unit[0])) {
        c = unit[0] >= 'A' && unit[0] <= 'Z' ? char(unit[0] + ('a' - 'A')) : unit[0];
    } else if (unit.size() > 1 && !unit.startsWith('&')) {
        int length;
        const char32_t code = codePointAt(unit.data(), &length);
        if (isSyllabic(code)) {
            ++m_syllables;
        } else if ((c = latinBase(code)) == 0 && QChar::isLetter(code)) {
            ++m_otherLetters;
        }
    }
    if (isAsciiDigit(c)) {
        ++m_syllables;
        c = 0;
    }
    if (!c) { // a mark or a digit parts vowel groups and keeps the word's silent e
        m_last = m_beforeLast = 0;
        return;
    }
    if (isVowel(c) && !(m_last && isVowel(m_last)))
        ++m_syllables;
    const bool consonantL = m_last == 'l' && m_beforeLast && !isVowel(m_beforeLast); // "table"
    m_silentE = c == 'e' && m_last && !isVowel(m_last) && !consonantL;
    m_beforeLast = m_last;
    m_last = c;
}

qint64 SyllableCounter::units() const
{
    const qint64 syllables = m_syllables - (m_silentE && m_syllables > 1 ? 1 : 0)
            + (m_otherLetters + 1) / 2;
    return std::max<qint64>(syllables * syllableUnits, 1);
}
