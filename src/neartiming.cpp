// Lines meant as timings.
#include "neartiming.h"

#include "text.h"

#include <QObject>
#include <QRegularExpression>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace {

// A timing has four colons at least and one edit takes one away; two clock times have four, a
// lone timecode three.
// Fewer, and the line is ordinary text: this is all most lines cost.
constexpr int fewestColons = 3;

bool hasColons(QByteArrayView line)
{
    const char *p = line.data();
    const char *const end = p + line.size();
    for (int found = 0; found < fewestColons; ++found, ++p) {
        p = findByte(p, end, ':');
        if (p == end)
            return false;
    }
    return true;
}

// The timing pattern, element by element, with ';' allowed before the frames (drop frame at some
// rate) and the white space runs around the hyphen.
enum class Element : char { Digit, Colon, Frames, Spaces, Hyphen };
constexpr Element D = Element::Digit, C = Element::Colon, F = Element::Frames,
                  S = Element::Spaces, H = Element::Hyphen;
constexpr std::array<Element, 25> timingShape = {D, D, C, D, D, C, D, D, F, D, D, S, H,
                                                 S, D, D, C, D, D, C, D, D, F, D, D};
constexpr int matched = int(timingShape.size()); // the state with every element matched

constexpr bool fits(Element element, char32_t c)
{
    switch (element) {
    case Element::Digit:
        return c >= '0' && c <= '9';
    case Element::Colon:
        return c == ':';
    case Element::Frames:
        return c == ':' || c == ';';
    case Element::Spaces:
        return c < 0x80 && isPatternSpace(char(c));
    case Element::Hyphen:
        return c == '-';
    }
    return false;
}

// The one edit that makes a line a timing.
struct Edit
{
    enum Kind : char { None, Extra, Missing, Wrong };
    Kind kind = None;
    int element = 0; // the element after an extra character, or the one missing or replaced
    char32_t seen = 0; // the extra or replacing character
};

QString shown(char32_t c)
{
    if (c == ' ')
        return QObject::tr("a space");
    const QString text = QString::fromUcs4(&c, 1);
    if (c > ' ' && c < 0x7F)
        return u'\'' + text + u'\'';
    const QString code = codePointName(c);
    return QChar::isPrint(c) && !QChar::isSpace(c) ? u'\'' + text + u"' ("_s + code + u')'
                                                   : code;
}

QString described(const Edit &edit)
{
    const Element element = timingShape[edit.element];
    const bool digit = edit.seen >= '0' && edit.seen <= '9';
    switch (edit.kind) {
    case Edit::Extra:
        if (edit.seen == ' ')
            return QObject::tr("an extra space");
        if (digit && (element == D || (edit.element > 0 && timingShape[edit.element - 1] == D)))
            return QObject::tr("a field of three digits");
        return QObject::tr("an extra %1").arg(shown(edit.seen));
    case Edit::Missing:
        if (element == D)
            return QObject::tr("a field of one digit");
        return element == H ? QObject::tr("no '-' between the timecodes")
                            : QObject::tr("a missing ':'");
    case Edit::Wrong:
        return QObject::tr("%1 instead of %2")
                .arg(shown(edit.seen), element == D ? QObject::tr("a digit")
                                         : element == H ? u"'-'"_s
                                                        : u"':'"_s);
    case Edit::None:
        break;
    }
    return QObject::tr("timecodes of another kind");
}

// Where a timing with one edit at most first ends in the line, or -1: the pattern run as an
// automaton that may spend one edit, its states (elements matched so far) bits of a word, one
// word for the states reached exactly and one for those reached by an edit. A few operations a
// character, so that a long line of colons costs little more than its reading.
qsizetype endOfOneEdit(QByteArrayView line)
{
    constexpr quint32 stars = 1u << 11 | 1u << 13;
    constexpr quint32 plain = ((1u << matched) - 1) & ~stars;
    constexpr quint32 accepted = 1u << matched;
    // For each ASCII character, the states whose element it fits.
    static constexpr auto fitting = [] {
        std::array<quint32, 128> states{};
        for (char32_t c = 0; c < 128; ++c) {
            for (int k = 0; k < matched; ++k)
                states[c] |= fits(timingShape[k], c) ? 1u << k : 0;
        }
        return states;
    }();
    // White space runs match nothing as well.
    const auto close = [](quint32 states) { return states | (states & stars) << 1; };
    quint32 exact = close(1);
    quint32 edited = close((exact & plain) << 1);
    const char *const begin = line.data();
    for (const char *p = begin, *end = p + line.size(); p < end;) {
        const auto c = uchar(*p);
        p += c < 0x80 ? 1 : utf8Length(c);
        const quint32 fit = c < 0x80 ? fitting[c] & plain : 0;
        const quint32 space = c < 0x80 && isPatternSpace(char(c)) ? stars : 0;
        // Carried, replaced or extra; then missing, from the states reached exactly.
        edited = (edited & fit) << 1 | (edited & space) | (exact & plain & ~fit) << 1
                | (exact & ~(1u | space));
        exact = close((exact & fit) << 1 | (exact & space) | 1);
        edited = close(edited | (exact & plain) << 1);
        if ((exact | edited) & accepted)
            return p - begin;
    }
    return -1;
}

// The same automaton, a state at a time, keeping the edit that reached each state: slow, and
// run only over the end of a line that endOfOneEdit() found near.
bool findOneEdit(QByteArrayView line, Edit *found)
{
    std::array<bool, matched + 1> exact{};
    std::array<Edit, matched + 1> edited{};
    const auto set = [](Edit &state, const Edit &edit) {
        if (state.kind == Edit::None)
            state = edit;
    };
    // Spaces match nothing; a missing element is an edit.
    const auto close = [&] {
        for (int k = 0; k < matched; ++k) {
            if (timingShape[k] == S) {
                exact[k + 1] = exact[k + 1] || exact[k];
                if (edited[k].kind != Edit::None)
                    set(edited[k + 1], edited[k]);
            } else if (exact[k]) {
                set(edited[k + 1], Edit{Edit::Missing, k, 0});
            }
        }
        if (exact[matched] || edited[matched].kind != Edit::None) {
            *found = exact[matched] ? Edit() : edited[matched];
            return true;
        }
        return false;
    };
    exact[0] = true;
    if (close())
        return true;
    for (const char *p = line.data(), *end = p + line.size(); p < end;) {
        int length = 1;
        const char32_t c = uchar(*p) < 0x80 ? char32_t(*p) : codePointAt(p, &length);
        p += length;
        std::array<bool, matched + 1> nextExact{};
        std::array<Edit, matched + 1> nextEdited{};
        nextExact[0] = true; // a timing may start anywhere
        // An edit made earlier goes first: it tells what the line lacks before what follows.
        for (int k = 0; k < matched; ++k) {
            if (edited[k].kind != Edit::None && fits(timingShape[k], c))
                set(nextEdited[timingShape[k] == S ? k : k + 1], edited[k]);
        }
        for (int k = 0; k < matched; ++k) {
            const Element element = timingShape[k];
            const bool fit = fits(element, c);
            const int to = element == S ? k : k + 1;
            if (!exact[k])
                continue;
            if (fit)
                nextExact[to] = true;
            else if (element != S)
                set(nextEdited[k + 1], Edit{Edit::Wrong, k, c});
            // Text before the timing is no edit; white space where it may be is none either.
            if (k > 0 && !(fit && element == S))
                set(nextEdited[k], Edit{Edit::Extra, k, c});
        }
        exact = nextExact;
        edited = nextEdited;
        if (close())
            return true;
    }
    return false;
}

// The near misses people make most, each with its own words.
NearTiming commonMiss(const QString &line)
{
    // Hour, separator, millisecond separator; space, dash, space; the same for the end.
    static const QRegularExpression nearTiming(
            QStringLiteral(R"(([0-9]{1,2}):[0-9]{2}:[0-9]{2}(?:([:;])[0-9]{2}|([.,])[0-9]{3}))"
                           R"((\s*)(-->|[-\x{2013}\x{2014}])(\s*))"
                           R"(([0-9]{1,2}):[0-9]{2}:[0-9]{2}(?:([:;])[0-9]{2}|([.,])[0-9]{3}))"),
            QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = nearTiming.match(line);
    if (!match.hasMatch())
        return {};
    const auto isAscii = [](QStringView spaces) {
        return std::all_of(spaces.begin(), spaces.end(),
                           [](QChar c) { return c.unicode() < 0x80; });
    };
    const QString dash = match.captured(5);
    using Kind = NearTiming::Kind;
    if (match.hasCaptured(3) || match.hasCaptured(9))
        return {Kind::Milliseconds,
                QObject::tr("a millisecond timestamp instead of a frame timecode (HH:MM:SS:FF)")};
    if (dash == u"\u2013")
        return {Kind::Other, QObject::tr("an en dash instead of a hyphen")};
    if (dash == u"\u2014")
        return {Kind::Other, QObject::tr("an em dash instead of a hyphen")};
    if (dash == u"-->")
        return {Kind::Other, QObject::tr("'-->' instead of '-'")};
    if (!isAscii(match.capturedView(4)) || !isAscii(match.capturedView(6)))
        return {Kind::Other,
                QObject::tr("a non-breaking or other Unicode space around the hyphen")};
    if (match.capturedLength(1) == 1 || match.capturedLength(7) == 1)
        return {Kind::Other, QObject::tr("a one-digit hour")};
    if (match.capturedView(2) != match.capturedView(8))
        return {Kind::Other, QObject::tr("one drop-frame and one non-drop-frame timecode")};
    return {Kind::DropFrame,
            QObject::tr("a drop-frame timecode, which needs --fps 29.97 or 59.94")};
}

// Two clock times, with or without frames, joined by dashes, tildes or an arrow; two frame
// timecodes joined by anything short ("to", "=>", "..."), or one alone on its line, however its
// fields are parted: farther than one edit, but meant as a timing all the same.
NearTiming clockTimes(const QString &line)
{
    static const QRegularExpression joined(
            uR"((\d{1,3}:\d\d:\d\d(?:[:;.,]\d{1,3})?)\s*((?:\p{Pd}|\x{2212}|[~>]){1,4})\s*)"
            uR"((\d{1,3}:\d\d:\d\d(?:[:;.,]\d{1,3})?))"_s,
            QRegularExpression::UseUnicodePropertiesOption);
    // The short word between two timecodes, spaces and all, holds no digit; taken whole, so that
    // a long run of spaces is scanned once. A lone timecode has only punctuation by.
    static const QRegularExpression framesJoined(
            uR"((\d{1,3}[:;]\d\d[:;]\d\d[:;]\d\d)((?>[^\d:;]{0,16})))"
            uR"((\d{1,3}[:;]\d\d[:;]\d\d[:;]\d\d))"_s,
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression alone(
            uR"(^[\s\p{P}\p{S}]*(\d{1,3}[:;]\d\d[:;]\d\d[:;]\d\d)[\s\p{P}\p{S}]*$)"_s,
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression timecode(uR"(^\d\d:\d\d:\d\d[:;]\d\d$)"_s);
    QRegularExpressionMatch match = joined.match(line);
    if (!match.hasMatch())
        match = framesJoined.match(line);
    if (!match.hasMatch()) {
        match = alone.match(line);
        return match.hasMatch() ? NearTiming{NearTiming::Kind::Other,
                                             QObject::tr("'%1' alone, where a timing has two "
                                                         "timecodes")
                                                     .arg(match.captured(1))}
                                : NearTiming{};
    }
    for (int group : {1, 3}) {
        if (!timecode.match(match.capturedView(group)).hasMatch())
            return {NearTiming::Kind::Other,
                    QObject::tr("'%1' is not a frame timecode (HH:MM:SS:FF)")
                            .arg(match.captured(group))};
    }
    const QString joiner = match.captured(2).trimmed();
    if (joiner.isEmpty())
        return {NearTiming::Kind::Other, QObject::tr("no '-' between the timecodes")};
    return {NearTiming::Kind::Other, QObject::tr("'%1' instead of '-'").arg(joiner)};
}

} // namespace

NearTiming nearTimingOf(QByteArrayView line)
{
    if (!hasColons(line))
        return {};
    const QString text = QString::fromUtf8(line);
    if (NearTiming miss = commonMiss(text); miss.kind != NearTiming::Kind::None)
        return miss;
    if (const qsizetype end = endOfOneEdit(line); end >= 0) {
        // A timing and its spaces fit in this; one with a longer run of spaces is only named.
        constexpr qsizetype describedLength = 256;
        qsizetype from = qMax(qsizetype(0), end - describedLength);
        while (from < end && (uchar(line[from]) & 0xC0) == 0x80)
            ++from;
        Edit edit;
        return {NearTiming::Kind::Other,
                findOneEdit(line.sliced(from, end - from), &edit)
                        ? described(edit)
                        : QObject::tr("a single character away from a timing")};
    }
    return clockTimes(text);
}
