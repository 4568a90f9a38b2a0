// The converter: passages from timing lines and the text under them, into cues.
#include "transcript.h"

#include "markup.h"
#include "speakers.h"
#include "text.h"
#include "timing.h"

#include <algorithm>

TranscriptConverter::TranscriptConverter(const ConversionOptions &options, Output output,
                                         Report report)
    : m_options(options),
      m_copyTimecodes(options.rate.numerator == 25 && options.rate.denominator == 1
                      && !options.start && !options.startAuto && !options.check
                      && !options.split.maxChars),
      m_writer(std::move(output)),
      m_diagnostics(std::move(report)),
      m_lines(options.rate.allowsDropFrame()),
      m_gathers(options.split.maxChars || options.voices || options.keepLines),
      m_voice(options.voice),
      m_voiceTag(voiceTag(options.voice))
{
}

bool TranscriptConverter::feed(QByteArrayView text)
{
    if (!text.isEmpty()) {
        m_lines.setPiece(text, !m_passage || m_passage->dropped);
        QByteArrayView line;
        while (m_lines.next(&line))
            takeLine(line);
    }
    return !m_writer.failed();
}

void TranscriptConverter::finish()
{
    QByteArrayView line;
    if (m_lines.finish(&line))
        takeLine(line);
    closePassage();
    if (m_droppedCues > 0)
        m_diagnostics.droppedCuesByStart(m_firstDroppedLine, m_droppedCues,
                                         m_droppedCues == m_cues);
    m_writer.flush();
}

void TranscriptConverter::takeLine(QByteArrayView line)
{
    const char *begin = line.data();
    const char *end = begin + line.size();
    // Every timing has a colon as its third character: only those places are tried, and most
    // timing lines start with theirs.
    const char *firstColon = line.size() < shortestTiming ? end
            : begin[2] == ':'                            ? begin + 2
                                                         : findByte(begin, end, ':');
    if (firstColon != end) {
        const TimingMatch timing =
                findTimingFrom(begin, end, firstColon, m_options.rate.allowsDropFrame());
        if (timing.found()) {
            takeTiming(line, timing.start, timing.length);
            return;
        }
        const auto fate = m_passage && !m_passage->dropped ? Diagnostics::Fate::CueText
                                                           : Diagnostics::Fate::Dropped;
        const auto nearMiss = m_diagnostics.nearTiming(m_lines.currentLine(), line, fate);
        if (m_nearMiss == Diagnostics::NearMiss::None || m_nearMiss == Diagnostics::NearMiss::Other)
            m_nearMiss = nearMiss;
    }
    takeText(begin, end);
}

void TranscriptConverter::takeTiming(QByteArrayView text, qsizetype at, qsizetype length)
{
    closePassage();
    m_foundTiming = true;
    const qint64 line = m_lines.currentLine();
    if (at > 0 || at + length < text.size())
        m_diagnostics.textOnTimingLine(line, text.first(at), text.sliced(at + length));
    const char *const timing = text.data() + at;
    const char *const endText = timing + length - timecodeLength;
    const Timecode startCode = timecodeAt(timing);
    const Timecode endCode = timecodeAt(endText);
    Passage &passage = m_passage.emplace();
    passage.line = line;
    if (m_copyTimecodes && isPlainAt25(startCode) && isPlainAt25(endCode)) {
        char *out = copyPlainTimestamp(passage.timing, timing, startCode);
        out = std::copy_n(timingArrow.data(), timingArrow.size(), out);
        passage.timingLength = copyPlainTimestamp(out, endText, endCode) - passage.timing;
        return;
    }

    const FrameRate &rate = m_options.rate;
    const FramePosition start = framePosition(startCode, rate);
    const FramePosition end = framePosition(endCode, rate);
    if (m_options.check) {
        m_diagnostics.timecodeRead(line, QByteArrayView(timing, timecodeLength), start);
        m_diagnostics.timecodeRead(line, QByteArrayView(endText, timecodeLength), end);
        if (end.frame <= start.frame)
            m_diagnostics.reversedTiming(line);
    }
    const bool shifted = m_options.start || m_options.startAuto;
    if (!m_startFrame)
        m_startFrame = m_options.startAuto ? hourFrame(start, rate)
                : m_options.start          ? framePosition(*m_options.start, rate).frame
                                           : 0;
    passage.start = frameMilliseconds(std::max(start.frame - *m_startFrame, qint64(0)), rate);
    passage.end = frameMilliseconds(std::max(end.frame - *m_startFrame, qint64(0)), rate);
    passage.dropped = shifted && end.frame <= *m_startFrame;
    passage.clipped = shifted && start.frame < *m_startFrame;
    passage.timingLength =
            writeCueTiming(passage.timing, passage.start, passage.end) - passage.timing;
}

Q_ALWAYS_INLINE void TranscriptConverter::takeText(const char *begin, const char *end)
{
    const QByteArrayView text = trimmed(begin, end);
    if (text.isEmpty() && !m_lines.lostText())
        return;
    if (!m_passage) {
        if (m_options.check && !m_reportedTextAbove)
            m_diagnostics.textAbove(m_lines.currentLine());
        m_reportedTextAbove = true;
        return;
    }
    Passage &passage = *m_passage;
    if (passage.dropped) {
        passage.hasText = true;
        return;
    }
    if (m_gathers) {
        gatherText(text, passage.hasText);
        passage.hasText = !m_segments.isEmpty();
        return;
    }
    if (m_options.check)
        passage.visible += visibleLength(text) + (passage.hasText ? 1 : 0);
    QByteArray storage;
    const QByteArrayView shown = escapeCueText(text, storage);
    // Written as it comes: the cue is known to exist once its first text arrives.
    if (passage.hasText) {
        m_writer.write(" ");
    } else {
        m_writer.startCue(QByteArrayView(passage.timing, passage.timingLength));
        m_writer.write(m_voiceTag);
    }
    m_writer.write(shown);
    passage.hasText = true;
}

// A label opens its speaker's segment; text with none continues the speaker before.
void TranscriptConverter::gatherText(QByteArrayView text, bool hasText)
{
    if (m_options.voices) {
        const SpeakerLabel label = speakerLabel(text);
        if (!label.name.isEmpty()) {
            m_voice = label.name.toByteArray();
            text = label.text;
            if (text.isEmpty())
                return;
        }
    }
    QByteArray storage;
    const QByteArrayView shown = escapeCueText(text, storage);
    const bool lineBySegment = m_options.keepLines && m_options.split.maxChars;
    if (!hasText || m_segments.last().voice != m_voice || lineBySegment) {
        m_segments.append({m_voice, shown.toByteArray()});
        return;
    }
    QByteArray &segment = m_segments.last().text;
    segment.append(m_options.keepLines ? '\n' : ' ');
    segment.append(shown);
}

void TranscriptConverter::closePassage()
{
    if (!m_passage)
        return;
    const Passage &passage = *m_passage;
    if (passage.hasText)
        ++m_cues;
    if (!passage.hasText) {
        if (m_options.check)
            m_diagnostics.noText(passage.line);
    } else if (passage.dropped) {
        if (m_droppedCues++ == 0)
            m_firstDroppedLine = passage.line;
    } else {
        if (m_options.check && passage.clipped)
            m_diagnostics.clippedByStart(passage.line);
        if (m_options.check && passage.start < m_previousEnd)
            m_diagnostics.overlap(passage.line, m_previousEnd);
        m_previousEnd = passage.end;
        if (m_options.split.maxChars) {
            writeSplit(passage);
        } else if (m_gathers) {
            writePassage(passage);
        } else {
            m_writer.endCue();
            if (m_options.check)
                m_diagnostics.cue(passage.line, passage.start, passage.end, passage.visible,
                                  passage.visible, false);
        }
    }
    m_segments.clear();
    m_passage.reset();
}

namespace {

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

// The passage in one cue: one speaker's text after their voice, or each speaker's on a line
// of its own, opened by their voice and a dialogue dash.
void TranscriptConverter::writePassage(const Passage &passage)
{
    m_writer.startCue(QByteArrayView(passage.timing, passage.timingLength));
    const bool dialogue = m_segments.size() > 1;
    QByteArray text;
    for (const Segment &segment : std::as_const(m_segments)) {
        const QByteArray tag = segment.voice == m_options.voice ? m_voiceTag : voiceTag(segment.voice);
        if (!text.isEmpty())
            text += tag.isEmpty() ? "\n" : "</v>\n";
        text += tag + (dialogue ? "- " : "") + segment.text;
    }
    m_writer.write(text);
    m_writer.endCue();
    if (m_options.check)
        m_diagnostics.cue(passage.line, passage.start, passage.end, visibleLength(text),
                          longestLine(text), false);
}

// Each segment is split on its own, in its share of the passage's time.
void TranscriptConverter::writeSplit(const Passage &passage)
{
    qsizetype total = 0;
    for (const Segment &segment : std::as_const(m_segments))
        total += visibleLength(segment.text);
    const qint64 duration = passage.end - passage.start;
    qsizetype shown = 0;
    qint64 from = passage.start;
    for (const Segment &segment : std::as_const(m_segments)) {
        shown += visibleLength(segment.text);
        const qint64 to = duration <= 0 || total == 0 || shown == total
                ? passage.end
                : passage.start + (2 * duration * shown + total) / (2 * total);
        const QByteArray tag = segment.voice == m_options.voice ? m_voiceTag : voiceTag(segment.voice);
        for (const Cue &cue : splitPassage(segment.text, from, to, m_options.split)) {
            m_writer.startCue(cue.start, cue.end);
            m_writer.write(tag);
            m_writer.write(cue.text);
            m_writer.endCue();
            if (m_options.check)
                m_diagnostics.cue(passage.line, cue.start, cue.end, cue.visible,
                                  longestLine(cue.text), true);
        }
        from = to;
    }
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
