#include "transcript.h"

namespace {

constexpr qsizetype timecodeLength = 11; // HH:MM:SS:FF
constexpr qsizetype shortestTiming = 2 * timecodeLength + 1;
constexpr int millisecondsPerFrame = 40; // 25 frames per second

constexpr bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// White space as the timing pattern's \s sees it: ASCII only.
constexpr bool isPatternSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Line ends and the characters a line scan has to note; all are below 64.
constexpr quint64 bit(char16_t c)
{
    return quint64(1) << c;
}
constexpr quint64 lineEnds = bit(u'\n') | bit(u'\r');

// The first character in [p, end) that is in `stops`, or end. Unrolled: this loop sees
// every character of the transcript.
const char16_t *findStop(const char16_t *p, const char16_t *end, quint64 stops)
{
    const auto isStop = [stops](char16_t c) { return c < 64 && (stops >> c) & 1; };
    for (; end - p >= 4; p += 4) {
        if (isStop(p[0]))
            return p;
        if (isStop(p[1]))
            return p + 1;
        if (isStop(p[2]))
            return p + 2;
        if (isStop(p[3]))
            return p + 3;
    }
    while (p < end && !isStop(*p))
        ++p;
    return p;
}

// As QStringView::trimmed, without a call for every line.
QStringView trimmed(const char16_t *begin, const char16_t *end)
{
    while (begin < end && QChar::isSpace(*begin))
        ++begin;
    while (end > begin && QChar::isSpace(end[-1]))
        --end;
    return QStringView(begin, end);
}

bool isTimecode(const char16_t *p)
{
    return isDigit(p[0]) && isDigit(p[1]) && p[2] == u':' && isDigit(p[3]) && isDigit(p[4])
            && p[5] == u':' && isDigit(p[6]) && isDigit(p[7]) && p[8] == u':'
            && isDigit(p[9]) && isDigit(p[10]);
}

// The end of a timing that starts exactly at p, or nullptr. Each \s* run is followed by
// something \s cannot match, so no backtracking is needed to agree with the pattern.
const char16_t *matchTimingAt(const char16_t *p, const char16_t *end)
{
    if (end - p < shortestTiming || !isTimecode(p))
        return nullptr;
    p += timecodeLength;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (p == end || *p != u'-')
        return nullptr;
    ++p;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (end - p < timecodeLength || !isTimecode(p))
        return nullptr;
    return p + timecodeLength;
}

// Leftmost match, trying only the places whose third character is a colon, from `colon` on.
TimingMatch findTimingFrom(const char16_t *begin, const char16_t *end, const char16_t *colon)
{
    for (const char16_t *c = colon; c < end; ++c) {
        if (*c != u':' || c - begin < 2)
            continue;
        if (const char16_t *matchEnd = matchTimingAt(c - 2, end))
            return {c - 2 - begin, matchEnd - (c - 2)};
    }
    return {};
}

int twoDigits(const char16_t *p)
{
    return (p[0] - u'0') * 10 + (p[1] - u'0');
}

// Writes into a buffer sized in advance for the longest document an input can give.
struct Writer
{
    char16_t *p;

    void put(char16_t c) { *p++ = c; }
    void put(QStringView s)
    {
        std::copy(s.utf16(), s.utf16() + s.size(), p);
        p += s.size();
    }
    template<size_t N>
    void put(const char16_t (&literal)[N])
    {
        p = std::copy_n(literal, N - 1, p);
    }
    void putNumber(qint64 value, int width)
    {
        char16_t digits[20];
        int n = 0;
        do {
            digits[n++] = char16_t(u'0' + value % 10);
            value /= 10;
        } while (value > 0);
        for (int i = n; i < width; ++i)
            put(u'0');
        while (n > 0)
            put(digits[--n]);
    }
};

// HH:MM:SS:FF to HH:MM:SS.mmm. Fields past their range carry into the next one up, so that
// every timestamp is valid WebVTT; in-range timecodes keep their fields as written.
void convertTimestamp(const char16_t *timecode, Writer &out)
{
    const int frames = twoDigits(timecode + 9);
    if (frames < 25 && twoDigits(timecode + 3) < 60 && twoDigits(timecode + 6) < 60) {
        out.p = std::copy_n(timecode, 8, out.p);
        const int milliseconds = frames * millisecondsPerFrame;
        out.put(u'.');
        out.put(char16_t(u'0' + milliseconds / 100));
        out.put(char16_t(u'0' + milliseconds / 10 % 10));
        out.put(char16_t(u'0' + milliseconds % 10));
        return;
    }
    const qint64 milliseconds = ((twoDigits(timecode) * 60 + twoDigits(timecode + 3)) * 60
                                 + twoDigits(timecode + 6)) * qint64(1000)
            + twoDigits(timecode + 9) * millisecondsPerFrame;
    out.putNumber(milliseconds / 3600000, 2);
    out.put(u':');
    out.putNumber(milliseconds / 60000 % 60, 2);
    out.put(u':');
    out.putNumber(milliseconds / 1000 % 60, 2);
    out.put(u'.');
    out.putNumber(milliseconds % 1000, 3);
}

// A reader takes any line holding "-->" for a timing line, so the arrow's '>' is escaped.
void putCueText(QStringView text, bool mayHoldArrow, Writer &out)
{
    if (!mayHoldArrow) {
        out.put(text);
        return;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'>' && i >= 2 && text[i - 1] == u'-' && text[i - 2] == u'-')
            out.put(u"&gt;");
        else
            out.put(text[i].unicode());
    }
}

} // namespace

TimingMatch findTiming(QStringView line)
{
    const char16_t *begin = line.utf16();
    return findTimingFrom(begin, begin + line.size(), begin);
}

QString convertTranscript(const QString &transcript)
{
    const char16_t *p = QStringView(transcript).utf16();
    const char16_t *const end = p + transcript.size();

    // No input line gives more than twice its length (a timing line of 23 characters gives
    // at most 45), so the document never needs to grow; pages not written are never touched.
    QString document(2 * transcript.size() + 16, Qt::Uninitialized);
    char16_t *const documentBegin = reinterpret_cast<char16_t *>(document.data());
    Writer out{documentBegin};
    out.put(u"WEBVTT\n\n");

    // A cue is written as soon as its timing line is met and taken back if no text follows.
    char16_t *cueStart = nullptr;
    bool cueHasText = false;
    const auto closeCue = [&] {
        if (cueStart && cueHasText)
            out.put(u"\n\n");
        else if (cueStart)
            out.p = cueStart;
    };

    while (p < end) {
        // Only the first colon (where a timing may start) and the first '>' (where an arrow
        // may end) are of interest; each stops the scan once.
        const char16_t *firstColon = nullptr;
        bool mayHoldArrow = false;
        quint64 stops = lineEnds | bit(u':') | bit(u'>');
        const char16_t *lineEnd = p;
        while ((lineEnd = findStop(lineEnd, end, stops)) < end && *lineEnd > u'\r') {
            if (*lineEnd == u':')
                firstColon = lineEnd;
            else
                mayHoldArrow = true;
            stops &= ~bit(*lineEnd++);
        }

        const TimingMatch timing = firstColon ? findTimingFrom(p, lineEnd, firstColon) : TimingMatch();
        if (timing.start >= 0) {
            closeCue();
            cueStart = out.p;
            cueHasText = false;
            const char16_t *start = p + timing.start;
            convertTimestamp(start, out);
            out.put(u" --> ");
            convertTimestamp(start + timing.length - timecodeLength, out);
            out.put(u"\n<v Speaker>");
        } else if (cueStart) {
            const QStringView text = trimmed(p, lineEnd);
            if (!text.isEmpty()) {
                if (cueHasText)
                    out.put(u' ');
                putCueText(text, mayHoldArrow, out);
                cueHasText = true;
            }
        }

        p = lineEnd;
        if (p < end && *p++ == u'\r' && p < end && *p == u'\n')
            ++p;
    }
    closeCue();

    document.truncate(out.p - documentBegin);
    return document;
}
