// Small helpers on UTF-8 bytes, shared by the lexer, the line reader, the decoder and the
// splitter. Everything here is pure and cheap enough for the per-byte paths.
#ifndef CUEFOLD_TEXT_H
#define CUEFOLD_TEXT_H

#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <cstring>

// The UTF-8 byte-order mark, which a file may start with.
inline constexpr QByteArrayView utf8Mark("\xEF\xBB\xBF", 3);

constexpr bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr bool isAsciiAlnum(char c)
{
    return isAsciiDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// White space as a regular expression's \s sees it: ASCII only.
constexpr bool isPatternSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// What separates words inside one line.
constexpr bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The length of the UTF-8 sequence that `lead` starts (1 for ASCII and stray bytes).
constexpr int utf8Length(uchar lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// The first `c` in [p, end), or end; the library's search is vectorized.
inline const char *findByte(const char *p, const char *end, char c)
{
    const void *found = std::memchr(p, c, size_t(end - p));
    return found ? static_cast<const char *>(found) : end;
}

// The code point of the valid UTF-8 sequence at p.
char32_t codePointAt(const char *p, int *length);

// "U+0093", as a message names a character.
QString codePointName(char32_t c);

QByteArrayView trimmedUnicode(const char *begin, const char *end);

// As QString::trimmed, on valid UTF-8. Most lines start and end in printable ASCII ('!' to
// '~'), which one comparison tells.
inline QByteArrayView trimmed(const char *begin, const char *end)
{
    const auto printable = [](char c) { return uchar(c) - uint('!') <= uint('~' - '!'); };
    if (begin < end && printable(*begin) && printable(end[-1]))
        return QByteArrayView(begin, end - begin);
    return trimmedUnicode(begin, end);
}

#endif
