// The converter: passages from timing lines and the text under them, into cues.
#include "transcript.h"

#include "markup.h"
#include "speakers.h"
#include "text.h"
#include "timing.h"

#include <algorithm>
#include <utility>

namespace {

// Where a label in range lands at 25 frames a second from zero: the arithmetic of
// framePosition() and frameMilliseconds() without the cases that cannot arise.
CueTime plainTime(const Timecode &label)
{
    const qint64 frame = ((qint64(label.hours) * 60 + label.minutes) * 60 + label.seconds) * 25
            + label.frames;
    return {frame * 40, frame};
}

} // namespace

TranscriptConverter::TranscriptConverter(const ConversionOptions &options, Output output,
                                         Report report)
    : m_options(options),
      m_plainTimes(options.rate.numerator == 25 && options.rate.denominator == 1
                   && !options.start && !options.startAuto && !options.check),
      m_writer(std::move(output)),
      m_format(options.format->makeSink(m_writer, {options.rate, options.language})),
      m_diagnostics(std::move(report)),
      m_check(options.check ? std::make_unique<CueCheck>(*m_format, m_diagnostics) : nullptr),
      m_sink(m_check ? static_cast<TimedCueSink &>(*m_check) : *m_format),
      m_lines(options.rate.allowsDropFrame()),
      m_gathers(options.split.maxChars || options.voices || options.keepLines),
      m_voice(options.voice),
      m_plainTurn{options.voice, {}},
      m_dialogue(m_sink, options.split,
                 options.speakerNames ? std::optional(options.voice) : std::nullopt)
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
    m_diagnostics.fieldsPastRange(m_options.rate);
    if (m_droppedCues > 0)
        m_diagnostics.droppedCuesByStart(m_firstDroppedLine, m_droppedCues,
                                         m_droppedCues == m_cues);
    m_sink.finish();
    m_writer.flush();
}

void TranscriptConverter::takeLine(QByteArrayView line)
{
    const char *begin = line.data();
    const char *end = begin + line.size();
    // Every timing has a colon as its third character: only those places are tried, and most
    // timing lines start with theirs.
    const char *firstColon = line.size() < shortestNearTiming ? end
            : begin[2] == ':'                                ? begin + 2
                                                             : findByte(begin, end, ':');
    if (firstColon != end) {
        const TimingMatch timing = line.size() < shortestTiming ? TimingMatch()
                : findTimingFrom(begin, end, firstColon, m_options.rate.allowsDropFrame());
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
    if (m_plainTimes && isPlainAt25(startCode) && isPlainAt25(endCode)) {
        passage.start = plainTime(startCode);
        passage.end = plainTime(endCode);
        return;
    }
    const FrameRate &rate = m_options.rate;
    const FramePosition start = framePosition(startCode, rate);
    const FramePosition end = framePosition(endCode, rate);
    if (start.carried || end.carried) {
        m_diagnostics.timecodePastRange(line, startCode, rate);
        m_diagnostics.timecodePastRange(line, endCode, rate);
    }
    if (m_options.check) {
        m_diagnostics.timecodeRead(line, QByteArrayView(timing, timecodeLength), start);
        m_diagnostics.timecodeRead(line, QByteArrayView(endText, timecodeLength), end);
        if (end.frame <= start.frame)
            m_diagnostics.reversedTiming(line);
    }
    const bool shifted = m_options.start || m_options.startAuto;
    if (m_options.start)
        m_diagnostics.startKind(line, *m_options.start, startCode.dropFrame, rate);
    if (!m_startFrame) {
        // --start is read in the kind of label the transcript's first timing shows.
        Timecode first = m_options.start.value_or(Timecode());
        first.dropFrame = startCode.dropFrame;
        m_startFrame = m_options.startAuto ? hourFrame(start, rate)
                : m_options.start          ? framePosition(first, rate).frame
                                           : 0;
    }
    const auto timeOf = [&](qint64 frame) {
        frame = std::max(frame - *m_startFrame, qint64(0));
        return CueTime{frameMilliseconds(frame, rate), frame};
    };
    passage.start = timeOf(start.frame);
    passage.end = timeOf(end.frame);
    passage.dropped = shifted && end.frame <= *m_startFrame;
    passage.clipped = shifted && start.frame < *m_startFrame;
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
    const QByteArrayView shown = escapeCueText(text, m_escaped);
    // Handed on as it comes: the cue is known to exist once its first text arrives.
    if (passage.hasText) {
        m_sink.continueLine(shown);
    } else {
        m_plainTurn.text = shown;
        passage.turns = &m_plainTurn;
        m_sink.startCue(passage);
    }
    passage.hasText = true;
}

// A label opens its speaker's segment; text with none continues the speaker before.
void TranscriptConverter::gatherText(QByteArrayView text, bool hasText)
{
    if (m_options.voices) {
        // A candidate that names no speaker stays in the text as written.
        const SpeakerLabel label = speakerLabel(text);
        const bool named = !label.name.isEmpty() && m_options.speakers.isSpeaker(label);
        if (named && !m_labelLine.isEmpty())
            keepLabelLine(); // no text came under it
        m_labelLine.clear();
        if (named) {
            if (label.text.isEmpty()) {
                m_labelLine = text.toByteArray();
                m_voiceBeforeLabel = std::exchange(m_voice, label.name.toByteArray());
                return;
            }
            m_voice = label.name.toByteArray();
            text = label.text;
        }
    }
    appendText(text, hasText);
}

void TranscriptConverter::appendText(QByteArrayView text, bool hasText)
{
    QByteArray storage;
    const QByteArrayView shown = escapeCueText(text, storage);
    if (!hasText || m_segments.last().voice != m_voice) {
        m_segments.append({m_voice, shown.toByteArray()});
        return;
    }
    QByteArray &segment = m_segments.last().text;
    // A passage can grow to megabytes. append() moves it to a new block each time it outgrows
    // its own, touching every page again; reserve() lets the allocator grow it in place.
    const qsizetype size = segment.size() + 1 + shown.size();
    if (size > segment.capacity())
        segment.reserve(std::max(size, 2 * segment.capacity()));
    segment.append(m_options.keepLines ? '\n' : ' ');
    segment.append(shown);
}

// A label alone on its line that no text followed is a sound or a heading: no word is lost.
void TranscriptConverter::keepLabelLine()
{
    m_voice = m_voiceBeforeLabel;
    appendText(std::exchange(m_labelLine, QByteArray()), !m_segments.isEmpty());
}

void TranscriptConverter::closePassage()
{
    if (!m_passage)
        return;
    if (!m_labelLine.isEmpty()) {
        if (!m_passage->dropped) {
            keepLabelLine();
            m_passage->hasText = true;
        }
        m_labelLine.clear();
    }
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
        if (m_options.check && passage.start.milliseconds < m_previousEnd)
            m_diagnostics.overlap(passage.line, m_previousEnd);
        m_previousEnd = passage.end.milliseconds;
        if (m_gathers) {
            // Split, lines are laid out from words, each with the tags beside it: a line break
            // or a turn by tags alone would make a line that shows nothing, and one the layout
            // misses.
            if (m_options.split.maxChars) {
                joinTagTurns(m_segments, m_options.keepLines ? '\n' : ' ');
                if (m_options.keepLines) {
                    for (Segment &segment : m_segments)
                        placeLineBreaks(segment.text);
                }
            }
            m_dialogue.write(m_segments, {passage.line, passage.start, passage.end});
        } else {
            m_sink.endCue();
        }
    }
    m_segments.clear();
    m_passage.reset();
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
