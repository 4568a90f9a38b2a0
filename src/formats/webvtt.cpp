// WebVTT, the format browsers show: the header, then a block per cue (timing, each turn after
// its voice, empty line).
#include "formats.h"
#include "speakers.h"
#include "text.h"
#include "timecode.h"

#include <array>

namespace {

constexpr QByteArrayView signature("WEBVTT");
constexpr QByteArrayView arrow(" --> ");
constexpr qsizetype longestTimestamp = 24; // as writeTimestamp() writes it

// "000" to "999": digits from a table, not from divisions, as every cue has two times.
constexpr auto digits = [] {
    std::array<char, 3000> table{};
    for (int i = 0; i < 1000; ++i) {
        table[size_t(3 * i)] = char('0' + i / 100);
        table[size_t(3 * i + 1)] = char('0' + i / 10 % 10);
        table[size_t(3 * i + 2)] = char('0' + i % 10);
    }
    return table;
}();

class WebVttSink final : public TimedCueSink
{
public:
    explicit WebVttSink(DocumentWriter &writer) : m_writer(writer)
    {
        m_writer.write(signature);
        m_writer.write("\n\n");
    }

    void startCue(const TimedCue &cue) override
    {
        char *out = m_writer.reserve(2 * longestTimestamp + arrow.size() + 1);
        out = writeTime(out, cue.start.milliseconds);
        out = std::copy_n(arrow.data(), arrow.size(), out);
        out = writeTime(out, cue.end.milliseconds);
        *out++ = '\n';
        m_writer.advance(out);
        m_writer.write(tagOf(cue.turns[0].voice));
        m_writer.write(cue.turns[0].text);
        // A voice is closed where the next speaker's line starts.
        for (qsizetype i = 1; i < cue.turnCount; ++i) {
            m_writer.write(cue.turns[i - 1].voice.isEmpty() ? "\n" : "</v>\n");
            m_writer.write(tagOf(cue.turns[i].voice));
            m_writer.write(cue.turns[i].text);
        }
    }
    void continueLine(QByteArrayView text) override { m_writer.write(' ', text); }
    void endCue() override { m_writer.write("\n\n"); }

private:
    // Most cues have the voice of the one before, mostly as the very same bytes.
    const QByteArray &tagOf(const QByteArray &voice)
    {
        if (!voice.isSharedWith(m_voice))
            takeVoice(voice);
        return m_tag;
    }
    Q_NEVER_INLINE void takeVoice(const QByteArray &voice)
    {
        if (voice != m_voice)
            m_tag = voiceTag(voice);
        m_voice = voice;
    }

    // Cues come in order, so most times share their hours and minutes with the time before:
    // those are worked out once a minute.
    char *writeTime(char *out, qint64 milliseconds)
    {
        if (milliseconds < m_minute || milliseconds >= m_minute + minute)
            return writeInNewMinute(out, milliseconds);
        return writeInMinute(out, milliseconds);
    }
    Q_NEVER_INLINE char *writeInNewMinute(char *out, qint64 milliseconds)
    {
        const qint64 start = milliseconds - milliseconds % minute;
        if (start >= 100 * 60 * minute) // hours of three digits or more
            return writeTimestamp(out, milliseconds);
        m_minute = start;
        writeTimestamp(m_minuteText, m_minute);
        return writeInMinute(out, milliseconds);
    }
    char *writeInMinute(char *out, qint64 milliseconds)
    {
        std::memcpy(out, m_minuteText, minuteLength);
        out += minuteLength;
        const auto rest = unsigned(milliseconds - m_minute);
        const unsigned seconds = rest / 1000;
        out = std::copy_n(&digits[3 * seconds + 1], 2, out);
        *out++ = '.';
        return std::copy_n(&digits[3 * (rest - seconds * 1000)], 3, out);
    }

    DocumentWriter &m_writer;
    QByteArray m_voice;
    QByteArray m_tag;
    static constexpr qint64 minute = 60000;
    static constexpr qsizetype minuteLength = 6; // "HH:MM:"
    qint64 m_minute = -minute; // the minute of the last time written
    char m_minuteText[longestTimestamp];
};

// The signature, after an optional byte-order mark, then the end, a space, a tab or a line end.
bool isWebVtt(QByteArrayView head)
{
    if (head.startsWith(utf8Mark))
        head = head.sliced(utf8Mark.size());
    return head.startsWith(signature)
            && (head.size() == signature.size()
                || QByteArrayView(" \t\r\n").contains(head[signature.size()]));
}

std::unique_ptr<TimedCueSink> makeSink(DocumentWriter &writer, const FormatSettings &)
{
    return std::make_unique<WebVttSink>(writer);
}

} // namespace

extern const Format webVttFormat{u"vtt", u".vtt", u"a WebVTT document", isWebVtt, makeSink};
