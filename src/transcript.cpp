#include "transcript.h"

#include "cues.h"

#include <QObject>
#include <QRegularExpression>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// Where the timing pattern first matches in one line; start is -1 when it does not.
struct TimingMatch
{
    qsizetype start = -1;
    qsizetype length = 0;
};

constexpr qsizetype timecodeLength = 11; // HH:MM:SS:FF
constexpr qsizetype shortestTiming = 2 * timecodeLength + 1;
constexpr qsizetype outputChunk = 1 << 16;
constexpr qsizetype droppedLineLimit = 1 << 16;

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// White space as the timing pattern's \s sees it: ASCII only.
constexpr bool isPatternSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The first `c` in [p, end), or end.
const char *find(const char *p, const char *end, char c)
{
    const void *found = std::memchr(p, c, end - p);
    return found ? static_cast<const char *>(found) : end;
}

// HH:MM:SS:FF (or HH:MM:SS;FF) at p, which has at least 11 bytes. The first eight are tested
// as one word: digits and colons all have 3 as their high nibble, and adding 6 leaves it 3
// only for the digits.
inline bool isTimecode(const char *p, bool dropFrame)
{
    constexpr quint64 colons = 0x00003A00003A0000u; // bytes 2 and 5, read little-endian
    constexpr quint64 colonBytes = 0x0000FF0000FF0000u;
    const quint64 x = qFromLittleEndian<quint64>(p);
    return (x & 0xF0F0F0F0F0F0F0F0u) == 0x3030303030303030u
            && ((x + 0x0606060606060606u) & ~colonBytes & 0xF0F0F0F0F0F0F0F0u) == (0x3030303030303030u & ~colonBytes)
            && (x & colonBytes) == colons && (p[8] == ':' || (dropFrame && p[8] == ';')) && isDigit(p[9])
            && isDigit(p[10]);
}

// The end of a timing that starts exactly at p, or nullptr. Each \s* run is followed by
// something \s cannot match, so no backtracking is needed to agree with the pattern.
const char *matchTimingAt(const char *p, const char *end, bool dropFrame)
{
    if (end - p < shortestTiming || !isTimecode(p, dropFrame))
        return nullptr;
    const char kind = p[8];
    p += timecodeLength;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (p == end || *p != '-')
        return nullptr;
    ++p;
    while (p < end && isPatternSpace(*p))
        ++p;
    if (end - p < timecodeLength || !isTimecode(p, dropFrame) || p[8] != kind)
        return nullptr;
    return p + timecodeLength;
}

// The leftmost match, trying the places two before each colon from `colon` on.
TimingMatch findTimingFrom(const char *begin, const char *end, const char *colon, bool dropFrame)
{
    for (; colon != end; colon = find(colon + 1, end, ':')) {
        if (colon - begin >= 2) {
            if (const char *matchEnd = matchTimingAt(colon - 2, end, dropFrame))
                return {colon - 2 - begin, matchEnd - (colon - 2)};
        }
    }
    return {};
}

// Whether a timing could still start at the beginning of `text` once more bytes follow.
bool couldStartTiming(QByteArrayView text, bool dropFrame)
{
    static constexpr char shape[] = "00:00:00:00 - 00:00:00:00";
    char kind = 0;
    for (qsizetype i = 0, k = 0; i < text.size(); ++i, ++k) {
        const char c = text[i];
        const char expected = shape[k];
        if (expected == ' ') {
            if (c != ' ')
                --i; // the space is optional
            continue;
        }
        if (expected == '0' ? !isDigit(c) : k % 14 == 8 ? !(c == ':' || (dropFrame && c == ';')) || (kind && c != kind)
                                                        : c != expected)
            return false;
        if (k == 8)
            kind = c;
    }
    return true;
}

int twoDigits(const char *p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

// In range at 25 frames a second, where a timestamp keeps the fields as written.
bool isPlainTimecode(const char *p)
{
    return twoDigits(p + 9) < 25 && twoDigits(p + 6) < 60 && twoDigits(p + 3) < 60;
}

char *writePlainTimestamp(char *out, const char *timecode)
{
    static constexpr auto thousandths = [] {
        std::array<std::array<char, 4>, 25> table{};
        for (int frame = 0; frame < 25; ++frame)
            table[frame] = {'.', char('0' + frame * 40 / 100), char('0' + frame * 40 / 10 % 10), '0'};
        return table;
    }();
    out = std::copy_n(timecode, 8, out);
    return std::copy_n(thousandths[twoDigits(timecode + 9)].data(), 4, out);
}

// "start --> end", at most 53 bytes.
char *writeTiming(char *out, qint64 start, qint64 end)
{
    out = std::copy_n(" --> ", 5, writeTimestamp(out, start));
    return writeTimestamp(out, end);
}

Timecode timecodeAt(const char *p)
{
    return Timecode{twoDigits(p), twoDigits(p + 3), twoDigits(p + 6), twoDigits(p + 9), p[8] == ';'};
}

char32_t codePointAt(const char *p, int *length)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    if (u[0] < 0x80) {
        *length = 1;
        return u[0];
    }
    *length = u[0] < 0xE0 ? 2 : u[0] < 0xF0 ? 3 : 4;
    char32_t c = u[0] & (0x7F >> *length);
    for (int i = 1; i < *length; ++i)
        c = c << 6 | (u[i] & 0x3F);
    return c;
}

// As QString::trimmed, on UTF-8.
QByteArrayView trimmed(const char *begin, const char *end)
{
    while (begin < end) {
        int length = 1;
        if (uchar(*begin) < 0x80 ? !isPatternSpace(*begin) : !QChar::isSpace(codePointAt(begin, &length)))
            break;
        begin += length;
    }
    int length;
    while (end > begin) {
        const char *last = end - 1;
        if (uchar(*last) < 0x80) {
            if (!isPatternSpace(*last))
                break;
        } else {
            while (last > begin && (uchar(*last) & 0xC0) == 0x80)
                --last;
            if (!QChar::isSpace(codePointAt(last, &length)))
                break;
        }
        end = last;
    }
    return QByteArrayView(begin, end - begin);
}

TimingMatch findTiming(QByteArrayView line, bool dropFrame)
{
    const char *begin = line.data();
    const char *end = begin + line.size();
    return findTimingFrom(begin, end, find(begin, end, ':'), dropFrame);
}

} // namespace

QString parseConversionOptions(const QStringList &arguments, ConversionOptions *options)
{
    QString start;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &name = arguments[i];
        if (name == u"--check" || name == u"--strict") {
            options->check = true;
            options->strict = options->strict || name == u"--strict";
            continue;
        }
        const QString value = arguments.value(++i);
        bool ok = false;
        if (name == u"--fps") {
            const std::optional<FrameRate> rate = frameRateNamed(value);
            if (!rate)
                return QObject::tr("cuefold: --fps takes 23.976, 24, 25, 29.97, 30, 48, 50, 59.94 or 60, not '%1'\n").arg(value);
            options->rate = *rate;
        } else if (name == u"--start") {
            start = value;
        } else if (name == u"--max-chars") {
            options->maxChars = value.toInt(&ok);
            if (!ok || options->maxChars < 10 || options->maxChars > 200)
                return QObject::tr("cuefold: --max-chars takes a number from 10 to 200, not '%1'\n").arg(value);
        } else if (name == u"--max-lines") {
            options->maxLines = value.toInt(&ok);
            if (!ok || options->maxLines < 1 || options->maxLines > 4)
                return QObject::tr("cuefold: --max-lines takes a number from 1 to 4, not '%1'\n").arg(value);
        } else {
            return QObject::tr("cuefold: unknown option '%1'\n").arg(name);
        }
    }
    // The start is read at the transcript's rate, which may be given after it.
    options->startAuto = start == u"auto";
    if (!start.isEmpty() && !options->startAuto) {
        options->start = parseTimecode(start, options->rate);
        if (!options->start)
            return QObject::tr("cuefold: --start takes auto or a timecode (HH:MM:SS:FF, or HH:MM:SS;FF at 29.97 and 59.94), not '%1'\n").arg(start);
    }
    if (options->maxLines && !options->maxChars)
        return QObject::tr("cuefold: --max-lines needs --max-chars\n");
    if (options->maxChars && !options->maxLines)
        options->maxLines = 2;
    return QString();
}

inline void TranscriptConverter::putBytes(QByteArrayView bytes)
{
    if (bytes.size() > m_outEnd - m_put) {
        flush();
        if (bytes.size() > m_outEnd - m_put) {
            put(bytes);
            return;
        }
    }
    std::memcpy(m_put, bytes.data(), bytes.size());
    m_put += bytes.size();
}

TranscriptConverter::TranscriptConverter(const ConversionOptions &options, Output output, Report report)
    : m_options(options),
      m_output(std::move(output)),
      m_report(std::move(report)),
      m_plain(options.rate.numerator == 25 && options.rate.denominator == 1 && !options.start
              && !options.startAuto && !options.check && !options.maxChars)
{
    m_out.resize(outputChunk);
    m_put = m_out.data();
    m_outEnd = m_put + m_out.size();
    putBytes("WEBVTT\n\n");
}


// Steps over the line end at p: LF, CR LF, or a lone CR.
inline const char *TranscriptConverter::endLine(const char *p, const char *end)
{
    ++m_line;
    if (*p++ == '\r') {
        if (p == end)
            m_skipLineFeed = true;
        else if (*p == '\n')
            ++p;
    }
    return p;
}

void TranscriptConverter::feed(QByteArrayView text)
{
    if (text.isEmpty())
        return;
    const char *p = text.data();
    const char *const end = p + text.size();
    if (m_skipLineFeed && p < end) {
        m_skipLineFeed = false;
        if (*p == '\n')
            ++p;
    }
    // The line cut by the end of the last piece comes first.
    if (!m_carry.isEmpty() && p < end) {
        const char *lineEnd = qMin(find(p, end, '\n'), find(p, end, '\r'));
        m_carry.append(p, lineEnd - p);
        if (lineEnd == end) {
            if (m_carry.size() > droppedLineLimit && (!m_passage || m_passage->dropped))
                shortenDroppedLine();
            return;
        }
        takeLine(m_carry.constData(), m_carry.constData() + m_carry.size());
        m_carry.clear();
        m_carryHasText = false;
        p = endLine(lineEnd, end);
    }
    // The library's vectorized search finds line ends; each one found is kept until passed, so
    // that a file of CR line ends is not searched again for LF at every line.
    const char *nextLineFeed = p - 1;
    const char *nextReturn = p - 1;
    while (p < end) {
        // A line that starts with white space is often blank: that is told here, without a call.
        if (isPatternSpace(*p)) {
            const char *q = p;
            while (q < end && (*q == ' ' || *q == '\t'))
                ++q;
            if (q < end && (*q == '\n' || *q == '\r')) {
                p = endLine(q, end);
                continue;
            }
        }
        if (nextLineFeed < p)
            nextLineFeed = find(p, end, '\n');
        if (nextReturn < p)
            nextReturn = find(p, end, '\r');
        const char *lineEnd = qMin(nextLineFeed, nextReturn);
        if (lineEnd == end) {
            m_carry.append(p, end - p);
            return;
        }
        takeLine(p, lineEnd);
        p = endLine(lineEnd, end);
    }
}

void TranscriptConverter::finish()
{
    if (!m_carry.isEmpty()) {
        takeLine(m_carry.constData(), m_carry.constData() + m_carry.size());
        m_carry.clear();
    }
    closePassage();
    flush();
}

// A line whose text is dropped anyway need keep only the timing it holds, or the end that could
// still start one: a timecode, white space, a hyphen, white space, part of a timecode. White
// space runs there shrink to one space, which the pattern cannot tell apart.
void TranscriptConverter::shortenDroppedLine()
{
    const bool dropFrame = m_options.rate.allowsDropFrame();
    const TimingMatch timing = findTiming(m_carry, dropFrame);
    if (timing.start >= 0) {
        m_carry = m_carry.sliced(timing.start, timing.length);
        return;
    }
    const char *const text = m_carry.constData();
    qsizetype from = qMax(qsizetype(0), m_carry.size() - shortestTiming);
    const auto skipSpaces = [&] {
        while (from > 0 && isPatternSpace(text[from - 1]))
            --from;
    };
    skipSpaces();
    if (from > 0 && text[from - 1] == '-') {
        --from;
        skipSpaces();
    }
    from = qMax(qsizetype(0), from - timecodeLength);
    for (qsizetype i = 0; i < from && !m_carryHasText; ++i)
        m_carryHasText = !isPatternSpace(text[i]);
    m_carry.remove(0, from);

    char *out = m_carry.data();
    for (const char c : std::as_const(m_carry)) {
        if (isPatternSpace(c) && out > m_carry.data() && out[-1] == ' ')
            continue;
        m_carryHasText = m_carryHasText || !isPatternSpace(c);
        *out++ = isPatternSpace(c) ? ' ' : c;
    }
    m_carry.truncate(out - m_carry.data());
    from = 0;
    while (from < m_carry.size() && !couldStartTiming(QByteArrayView(m_carry).sliced(from), dropFrame))
        ++from;
    m_carry.remove(0, from);
}

void TranscriptConverter::takeLine(const char *begin, const char *end)
{
    // Every timing has a colon as its third character: only those places are tried, and most
    // timing lines start with theirs.
    const char *firstColon = end - begin < shortestTiming ? end : begin[2] == ':' ? begin + 2 : find(begin, end, ':');
    if (firstColon != end) {
        const TimingMatch timing = findTimingFrom(begin, end, firstColon, m_options.rate.allowsDropFrame());
        if (timing.start >= 0) {
            takeTiming(begin + timing.start, timing.length);
            return;
        }
    }
    if (m_options.check && find(begin, end, ':') != end)
        checkNearTiming(begin, end);
    takeText(begin, end);
}

void TranscriptConverter::takeTiming(const char *timing, qsizetype length)
{
    closePassage();
    m_foundTiming = true;
    const char *const endTimecode = timing + length - timecodeLength;
    Passage &passage = m_passage.emplace();
    passage.line = lineNumber();
    if (m_plain && isPlainTimecode(timing) && isPlainTimecode(endTimecode)) {
        // Most transcripts: only the frames change, and no one asks for the times as numbers.
        char *out = writePlainTimestamp(passage.timing, timing);
        out = std::copy_n(" --> ", 5, out);
        passage.timingLength = writePlainTimestamp(out, endTimecode) - passage.timing;
        return;
    }

    const FrameRate &rate = m_options.rate;
    const FramePosition start = framePosition(timecodeAt(timing), rate);
    const FramePosition end = framePosition(timecodeAt(endTimecode), rate);
    if (m_options.check) {
        for (const auto &[position, text] : {std::pair(start, timing), std::pair(end, endTimecode)}) {
            const QString written = QString::fromLatin1(text, timecodeLength);
            if (position.moved)
                warn(lineNumber(), QObject::tr("%1 is not a drop-frame label; read as %2").arg(written, position.readAs.toString()));
            else if (position.carried)
                warn(lineNumber(), QObject::tr("%1 has a field past its range; read as %2").arg(written, position.readAs.toString()));
        }
        if (end.frame <= start.frame)
            warn(lineNumber(), QObject::tr("the timing ends at or before its start"));
    }
    const bool shifted = m_options.start || m_options.startAuto;
    if (!m_startFrame)
        m_startFrame = m_options.startAuto ? hourFrame(start, rate)
                : m_options.start          ? framePosition(*m_options.start, rate).frame
                                           : 0;
    passage.start = frameMilliseconds(qMax(start.frame - *m_startFrame, qint64(0)), rate);
    passage.end = frameMilliseconds(qMax(end.frame - *m_startFrame, qint64(0)), rate);
    passage.dropped = shifted && end.frame <= *m_startFrame;
    passage.clipped = shifted && start.frame < *m_startFrame;
    passage.timingLength = writeTiming(passage.timing, passage.start, passage.end) - passage.timing;
}

Q_ALWAYS_INLINE void TranscriptConverter::takeText(const char *begin, const char *end)
{
    const QByteArrayView text = trimmed(begin, end);
    if (text.isEmpty() && !m_carryHasText)
        return;
    if (!m_passage) {
        if (m_options.check && !m_reportedTextAbove)
            warn(lineNumber(), QObject::tr("text above the first timing line is dropped"));
        m_reportedTextAbove = true;
        return;
    }
    Passage &passage = *m_passage;
    if (passage.dropped) {
        passage.hasText = true;
        return;
    }
    if (m_options.check)
        passage.visible += visibleLength(text) + (passage.hasText ? 1 : 0);
    // A reader takes any line holding "-->" for a timing line, so the arrow's '>' is escaped.
    // Lines with a '>' are rare enough to pay for a copy.
    QByteArray escaped;
    if (find(text.data(), text.data() + text.size(), '>') != text.data() + text.size())
        escaped = text.toByteArray().replace("-->", "--&gt;");
    const QByteArrayView shown = escaped.isNull() ? text : QByteArrayView(escaped);
    if (m_options.maxChars) {
        if (passage.hasText)
            m_passageText.append(' ');
        m_passageText.append(shown);
    } else {
        // Written as it comes: the cue is known to exist once its first text arrives.
        if (passage.hasText) {
            putBytes(" ");
        } else {
            putBytes(QByteArrayView(passage.timing, passage.timingLength));
            putBytes("\n<v Speaker>");
        }
        putBytes(shown);
    }
    passage.hasText = true;
}


void TranscriptConverter::putCueTiming(qint64 start, qint64 end)
{
    char timing[64];
    putBytes(QByteArrayView(timing, writeTiming(timing, start, end) - timing));
    putBytes("\n<v Speaker>");
}


void TranscriptConverter::closePassage()
{
    if (m_passage) {
        closePassage(*m_passage);
        m_passage.reset();
    }
}

void TranscriptConverter::closePassage(const Passage &passage)
{
    if (!passage.hasText) {
        if (m_options.check)
            warn(passage.line, QObject::tr("the timing line has no text under it"));
        return;
    }
    if (passage.dropped) {
        if (m_options.check)
            warn(passage.line, QObject::tr("the cue ends before the video's first frame (--start); dropped"));
        return;
    }
    if (m_options.check) {
        if (passage.clipped)
            warn(passage.line, QObject::tr("the cue starts before the video's first frame (--start); it starts at 00:00:00.000"));
        if (passage.start < m_previousEnd)
            warn(passage.line, QObject::tr("the cue overlaps the one before, which ends at %1").arg(timestampText(m_previousEnd)));
    }
    m_previousEnd = passage.end;

    if (!m_options.maxChars) {
        putBytes("\n\n");
        if (m_options.check)
            checkCue(passage.line, passage.start, passage.end, passage.visible);
        return;
    }
    // The passage's time is shared in proportion to what each cue shows, tiling it exactly.
    const QList<CueText> cues = splitPassage(m_passageText, m_options.maxChars, m_options.maxLines);
    m_passageText.clear();
    qsizetype total = 0;
    for (const CueText &cue : cues)
        total += cue.visible;
    const qint64 duration = passage.end - passage.start;
    qsizetype shown = 0;
    qint64 from = passage.start;
    for (const CueText &cue : cues) {
        shown += cue.visible;
        const qint64 to = duration <= 0 || total == 0 || shown == total
                ? passage.end
                : passage.start + (2 * duration * shown + total) / (2 * total);
        putCueTiming(duration <= 0 ? passage.start : from, to);
        putBytes(cue.text);
        putBytes("\n\n");
        if (m_options.check)
            checkCue(passage.line, from, to, cue.visible);
        from = to;
    }
}

void TranscriptConverter::checkCue(qint64 line, qint64 start, qint64 end, qsizetype visible)
{
    const qint64 duration = end - start;
    if (duration <= 0)
        return;
    if (visible * 1000 > 20 * duration)
        warn(line, QObject::tr("the cue shows %1 characters a second, more than 20")
                           .arg(QString::number(visible * 1000.0 / duration, 'f', 1)));
    if (duration * 6 < 5000)
        warn(line, QObject::tr("the cue lasts %1 s, less than 5/6 of a second").arg(QString::number(duration / 1000.0, 'f', 3)));
}

// Lines a person meant as timings, which the pattern does not take.
void TranscriptConverter::checkNearTiming(const char *begin, const char *end)
{
    static const QRegularExpression nearTiming(QStringLiteral(
            R"(([0-9]{1,2}):[0-9]{2}:[0-9]{2}([:;])[0-9]{2}(\s*)(-->|[-\x{2013}\x{2014}])(\s*)([0-9]{1,2}):[0-9]{2}:[0-9]{2}([:;])[0-9]{2})"),
            QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = nearTiming.match(QString::fromUtf8(begin, end - begin));
    if (!match.hasMatch())
        return;
    const auto isAscii = [](QStringView spaces) {
        return std::all_of(spaces.begin(), spaces.end(), [](QChar c) { return c.unicode() < 0x80; });
    };
    const QString dash = match.captured(4);
    QString reason;
    if (dash == u"\u2013")
        reason = QObject::tr("an en dash instead of a hyphen");
    else if (dash == u"\u2014")
        reason = QObject::tr("an em dash instead of a hyphen");
    else if (dash == u"-->")
        reason = QObject::tr("'-->' instead of '-'");
    else if (!isAscii(match.capturedView(3)) || !isAscii(match.capturedView(5)))
        reason = QObject::tr("a non-breaking or other Unicode space around the hyphen");
    else if (match.capturedLength(1) == 1 || match.capturedLength(6) == 1)
        reason = QObject::tr("a one-digit hour");
    else if (match.capturedView(2) != match.capturedView(7))
        reason = QObject::tr("one drop-frame and one non-drop-frame timecode");
    else
        reason = QObject::tr("a drop-frame timecode, which needs --fps 29.97 or 59.94");
    warn(lineNumber(), QObject::tr("the line looks like a timing but is not one: %1").arg(reason));
}

void TranscriptConverter::put(QByteArrayView bytes)
{
    if (!m_outputFailed && !m_output(bytes))
        m_outputFailed = true;
}

void TranscriptConverter::flush()
{
    put(QByteArrayView(m_out.constData(), m_put - m_out.constData()));
    m_put = m_out.data();
}

void TranscriptConverter::warn(qint64 line, const QString &message)
{
    if (m_report)
        m_report(line, message);
}

QString convertTranscript(const QString &transcript)
{
    QByteArray document;
    TranscriptConverter converter(ConversionOptions(), [&document](QByteArrayView bytes) {
        document.append(bytes);
        return true;
    });
    converter.feed(transcript.toUtf8());
    converter.finish();
    return QString::fromUtf8(document);
}
