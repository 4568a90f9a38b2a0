// Timecode arithmetic and timestamp writing.
#include "timecode.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

struct NamedRate
{
    QStringView name;
    FrameRate rate;
};

// The NTSC rates last 1001/1000 of their nominal frame; only they have drop frame.
constexpr NamedRate rates[] = {
    {u"23.976", {24, 24000, 1001, 0}}, {u"24", {24, 24, 1, 0}}, {u"25", {25, 25, 1, 0}},
    {u"29.97", {30, 30000, 1001, 2}}, {u"30", {30, 30, 1, 0}}, {u"48", {48, 48, 1, 0}},
    {u"50", {50, 50, 1, 0}}, {u"59.94", {60, 60000, 1001, 4}}, {u"60", {60, 60, 1, 0}},
};

char *writeNumber(char *out, qint64 value, int width)
{
    char digits[20];
    int n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int i = n; i < width; ++i)
        *out++ = '0';
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

} // namespace

std::optional<FrameRate> frameRateNamed(QStringView name)
{
    // A fraction names the rate it equals (30000/1001); a decimal, the rate that rounds to it at
    // the digits given (23.98, 25.0), the nearest when two do (24 is 24, not 23.976).
    const qsizetype slash = name.indexOf(u'/');
    const qsizetype point = slash >= 0 ? slash : name.indexOf(u'.');
    const QStringView whole = point >= 0 ? name.first(point) : name;
    const QStringView part = point >= 0 ? name.sliced(point + 1) : QStringView();
    const auto isNumber = [](QStringView digits, qsizetype most) {
        return !digits.isEmpty() && digits.size() <= most
                && std::all_of(digits.begin(), digits.end(),
                               [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    if (!isNumber(whole, 6) || (point >= 0 && !isNumber(part, slash >= 0 ? 6 : 3)))
        return std::nullopt;
    qint64 value = whole.toLongLong();
    qint64 scale = 1;
    if (slash >= 0) {
        scale = part.toLongLong();
    } else {
        for (qsizetype i = 0; i < part.size(); ++i)
            scale *= 10;
        value = value * scale + part.toLongLong();
    }
    std::optional<FrameRate> found;
    qint64 bestError = 0;
    for (const NamedRate &named : rates) {
        const FrameRate &rate = named.rate;
        // |value / scale - numerator / denominator| times scale * denominator.
        const qint64 error = std::abs(value * rate.denominator - rate.numerator * scale);
        const qint64 rounded = (2 * rate.numerator * scale + rate.denominator)
                / (2 * rate.denominator);
        const bool fits = slash >= 0 ? scale > 0 && error == 0 : rounded == value;
        if (fits && (!found || error < bestError)) {
            found = rate;
            bestError = error;
        }
    }
    return found;
}

QStringList frameRateNames()
{
    QStringList names;
    for (const NamedRate &named : rates)
        names.append(named.name.toString());
    return names;
}

QString frameRateName(const FrameRate &rate)
{
    for (const NamedRate &named : rates) {
        if (named.rate.numerator == rate.numerator && named.rate.denominator == rate.denominator)
            return named.name.toString();
    }
    return QString();
}

std::optional<FrameRate> frameRateAbove(int frame, bool dropFrame)
{
    for (const NamedRate &named : rates) {
        const FrameRate &rate = named.rate;
        if (rate.nominal > frame && (dropFrame ? rate.allowsDropFrame() : rate.denominator == 1))
            return rate;
    }
    return std::nullopt;
}

QString Timecode::toString() const
{
    const QChar zero = u'0';
    return QStringLiteral("%1:%2:%3%4%5")
            .arg(hours, 2, 10, zero)
            .arg(minutes, 2, 10, zero)
            .arg(seconds, 2, 10, zero)
            .arg(QChar(dropFrame ? u';' : u':'))
            .arg(frames, 2, 10, zero);
}

FramePosition framePosition(const Timecode &timecode, const FrameRate &rate)
{
    const qint64 perMinute = 60 * rate.nominal;
    const qint64 label = ((qint64(timecode.hours) * 60 + timecode.minutes) * 60 + timecode.seconds)
                    * rate.nominal + timecode.frames;
    FramePosition position;
    position.carried
            = timecode.frames >= rate.nominal || timecode.seconds >= 60 || timecode.minutes >= 60;
    position.frame = label;
    if (!position.carried && !timecode.dropFrame) {
        position.readAs = timecode;
        return position;
    }
    position.readAs = Timecode{int(label / (60 * perMinute)), int(label / perMinute % 60),
                               int(label / rate.nominal % 60), int(label % rate.nominal),
                               timecode.dropFrame};
    if (!timecode.dropFrame)
        return position;

    // Drop frame skips the first labels of every minute but each tenth.
    Timecode &t = position.readAs;
    if (t.seconds == 0 && t.frames < rate.dropped && t.minutes % 10 != 0) {
        t.frames = rate.dropped;
        position.moved = true;
    }
    const qint64 minutes = qint64(t.hours) * 60 + t.minutes;
    position.frame = (minutes * 60 + t.seconds) * rate.nominal + t.frames
            - rate.dropped * (minutes - minutes / 10);
    return position;
}

qint64 hourFrame(const FramePosition &position, const FrameRate &rate)
{
    return framePosition(Timecode {position.readAs.hours, 0, 0, 0, position.readAs.dropFrame}, rate)
            .frame;
}

qint64 frameMilliseconds(qint64 frame, const FrameRate &rate)
{
    // frame * 1000 * denominator / numerator, rounded half up, in integers.
    return (2 * frame * 1000 * rate.denominator + rate.numerator) / (2 * rate.numerator);
}

char *writeTimestamp(char *out, qint64 milliseconds)
{
    // Every cue has two timestamps: pairs of digits come from a table, not from divisions.
    static constexpr auto pairs = [] {
        std::array<char, 200> digits{};
        for (int i = 0; i < 100; ++i) {
            digits[2 * i] = char('0' + i / 10);
            digits[2 * i + 1] = char('0' + i % 10);
        }
        return digits;
    }();
    const auto putPair = [&out](int value) { out = std::copy_n(&pairs[2 * value], 2, out); };
    const qint64 hours = milliseconds / 3600000;
    if (hours < 100)
        putPair(int(hours));
    else
        out = writeNumber(out, hours, 2);
    int rest = int(milliseconds - hours * 3600000);
    const int minutes = rest / 60000;
    rest -= minutes * 60000;
    const int seconds = rest / 1000;
    rest -= seconds * 1000;
    *out++ = ':';
    putPair(minutes);
    *out++ = ':';
    putPair(seconds);
    *out++ = '.';
    *out++ = char('0' + rest / 100);
    putPair(rest % 100);
    return out;
}

QString timestampText(qint64 milliseconds)
{
    char text[24];
    return QString::fromLatin1(text, writeTimestamp(text, milliseconds) - text);
}
