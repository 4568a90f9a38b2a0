// The timing lexer.
#include "timing.h"

#include "text.h"

#include <QtEndian>

namespace {

// Where the drop-frame separator stands in a timecode, and in "00:00:00:00 - 00:00:00:00".
constexpr qsizetype frameSeparator = 8;

bool isFrameSeparator(char c, bool dropFrame)
{
    return c == ':' || (dropFrame && c == ';');
}

// HH:MM:SS:FF (or HH:MM:SS;FF) at p, which has at least 11 bytes. The first eight are tested
// as one word: digits and colons all have 3 as their high nibble, and adding 6 leaves it 3
// only for the digits.
inline bool isTimecode(const char *p, bool dropFrame)
{
    constexpr quint64 colons = 0x00003A00003A0000u; // bytes 2 and 5, read little-endian
    constexpr quint64 colonBytes = 0x0000FF0000FF0000u;
    constexpr quint64 highNibbles = 0xF0F0F0F0F0F0F0F0u;
    constexpr quint64 threes = 0x3030303030303030u;
    const quint64 x = qFromLittleEndian<quint64>(p);
    return (x & highNibbles) == threes
            && ((x + 0x0606060606060606u) & ~colonBytes & highNibbles) == (threes & ~colonBytes)
            && (x & colonBytes) == colons && isFrameSeparator(p[frameSeparator], dropFrame)
            && isAsciiDigit(p[9]) && isAsciiDigit(p[10]);
}

// The end of a timing that starts exactly at p, or nullptr. Each \s* run is followed by
// something \s cannot match, so no backtracking is needed to agree with the pattern.
const char *matchTimingAt(const char *p, const char *end, bool dropFrame)
{
    if (end - p < shortestTiming || !isTimecode(p, dropFrame))
        return nullptr;
    const char kind = p[frameSeparator];
    p += timecodeLength;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (p == end || *p != '-')
        return nullptr;
    ++p;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (end - p < timecodeLength || !isTimecode(p, dropFrame) || p[frameSeparator] != kind)
        return nullptr;
    return p + timecodeLength;
}

} // namespace

TimingMatch findTimingFrom(const char *begin, const char *end, const char *colon, bool dropFrame)
{
    for (; colon != end; colon = findByte(colon + 1, end, ':')) {
        if (colon - begin >= 2) {
            if (const char *matchEnd = matchTimingAt(colon - 2, end, dropFrame))
                return {colon - 2 - begin, matchEnd - (colon - 2)};
        }
    }
    return {};
}

TimingMatch findTiming(QByteArrayView line, bool dropFrame)
{
    const char *begin = line.data();
    const char *end = begin + line.size();
    return findTimingFrom(begin, end, findByte(begin, end, ':'), dropFrame);
}

bool couldStartTiming(QByteArrayView text, bool dropFrame)
{
    static constexpr char shape[] = "00:00:00:00 - 00:00:00:00";
    constexpr qsizetype secondSeparator = timecodeLength + 3 + frameSeparator;
    char kind = 0;
    for (qsizetype i = 0, k = 0; i < text.size(); ++i, ++k) {
        const char c = text[i];
        const char expected = shape[k];
        bool fits;
        if (expected == ' ') {
            if (c != ' ')
                --i; // the space is optional
            continue;
        } else if (expected == '0') {
            fits = isAsciiDigit(c);
        } else if (k == frameSeparator || k == secondSeparator) {
            fits = isFrameSeparator(c, dropFrame) && (!kind || c == kind);
            kind = c;
        } else {
            fits = c == expected;
        }
        if (!fits)
            return false;
    }
    return true;
}

std::optional<Timecode> parseTimecode(QStringView text, const FrameRate &rate)
{
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() != timecodeLength || !isTimecode(bytes.constData(), rate.allowsDropFrame()))
        return std::nullopt;
    return timecodeAt(bytes.constData());
}
