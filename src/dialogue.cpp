// Writing gathered passages.
#include "dialogue.h"

#include "markup.h"
#include "speakers.h"
#include "text.h"

#include <algorithm>

namespace {

// Each speaker's line in a cue they share starts with it, as subtitlers write dialogue.
const QByteArray dash = QByteArrayLiteral("- ");

// A transcript that writes dialogue dashes itself ("ANNA: - Ready?") gets no second one.
bool startsWithDash(QByteArrayView text)
{
    for (const QByteArrayView mark :
         {QByteArrayView("-"), QByteArrayView("\u2013"), QByteArrayView("\u2014")}) {
        if (text.startsWith(mark) && text.size() > mark.size() && isBlank(text[mark.size()]))
            return true;
    }
    return false;
}

qsizetype longestLine(QByteArrayView text)
{
    qsizetype longest = 0;
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype to = text.indexOf('\n', from);
        to = to < 0 ? text.size() : to;
        longest = std::max(longest, visibleLength(text.sliced(from, to - from)));
        from = to + 1;
    }
    return longest;
}

} // namespace

DialogueWriter::DialogueWriter(DocumentWriter &writer, Diagnostics *diagnostics,
                               const SplitLimits &split, const QByteArray &voice)
    : m_writer(writer),
      m_diagnostics(diagnostics),
      m_split(split),
      m_voice(voice),
      m_voiceTag(voiceTag(voice))
{
}

QByteArray DialogueWriter::tagOf(const QByteArray &voice) const
{
    return voice == m_voice ? m_voiceTag : voiceTag(voice);
}

// Speakers' lines in one cue, each after its voice and, when there are more, a dialogue dash;
// a voice is closed where the next line starts.
QByteArray DialogueWriter::turns(const Segment *segments, qsizetype count) const
{
    QByteArray text;
    QByteArray open;
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += open.isEmpty() ? "\n" : "</v>\n";
        open = tagOf(segments[i].voice);
        const bool dashed = count > 1 && !startsWithDash(segments[i].text);
        text += open + (dashed ? dash : QByteArray()) + segments[i].text;
    }
    return text;
}

void DialogueWriter::write(const QList<Segment> &segments, const GatheredPassage &passage)
{
    if (m_split.maxChars)
        writeSplit(segments, passage);
    else
        writeWhole(segments, passage);
}

// The passage in one cue: one speaker's text after their voice, or each speaker's on a line
// of its own, opened by their voice and a dialogue dash.
void DialogueWriter::writeWhole(const QList<Segment> &segments, const GatheredPassage &passage)
{
    const QByteArray text = turns(segments.constData(), segments.size());
    m_writer.startCue(passage.timing);
    m_writer.write(text);
    m_writer.endCue();
    if (m_diagnostics)
        m_diagnostics->cue(passage.line, passage.start, passage.end, visibleLength(text),
                           longestLine(text), false);
}

void DialogueWriter::writeCue(qint64 line, qint64 start, qint64 end, const QByteArray &text)
{
    m_writer.startCue(start, end);
    m_writer.write(text);
    m_writer.endCue();
    if (m_diagnostics)
        m_diagnostics->cue(line, start, end, visibleLength(text), longestLine(text), true);
}

// Each segment is split on its own, in its share of the passage's time, so that a change of
// speaker is always a cut. Two speakers' short lines in a row share a cue, a line each, as a
// subtitler sets a quick exchange ("- Ready? - Yes.").
void DialogueWriter::writeSplit(const QList<Segment> &segments, const GatheredPassage &passage)
{
    QList<qsizetype> visible;
    qsizetype total = 0;
    for (const Segment &segment : segments)
        total += visible.emplace_back(visibleLength(segment.text));
    const qint64 duration = passage.end - passage.start;
    qsizetype shown = 0;
    const auto endAt = [&](qsizetype upTo) {
        return duration <= 0 || total == 0 || upTo == total
                ? passage.end
                : shareEnd(passage.start, duration, upTo, total);
    };
    const auto isShort = [&](qsizetype i) {
        return i < segments.size() && visible[i] + dash.size() <= m_split.maxChars;
    };
    qint64 from = passage.start;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const Segment &segment = segments[i];
        if (m_split.maxLines >= 2 && isShort(i) && isShort(i + 1)
            && segments[i + 1].voice != segment.voice) {
            const QByteArray text = turns(&segment, 2);
            ++i;
            shown += visible[i - 1] + visible[i];
            const qint64 to = endAt(shown);
            writeCue(passage.line, duration <= 0 ? passage.start : from, to, text);
            from = to;
            continue;
        }
        shown += visible[i];
        const qint64 to = endAt(shown);
        const QByteArray tag = tagOf(segment.voice);
        for (const Cue &cue : splitPassage(segment.text, from, to, m_split))
            writeCue(passage.line, cue.start, cue.end, tag + cue.text);
        from = to;
    }
}
