// Cues from gathered passages.
#include "dialogue.h"

#include "markup.h"
#include "speakers.h"
#include "speech.h"
#include "text.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Each speaker's line in a cue they share starts with it, as subtitlers write dialogue.
const QByteArray dash = QByteArrayLiteral("- ");

// A transcript that writes dialogue dashes itself ("ANNA: - Ready?") gets no second one.
bool startsWithDash(QByteArrayView text)
{
    for (const QByteArrayView mark :
         {QByteArrayView("-"), QByteArrayView("\u2013"), QByteArrayView("\u2014")}) {
        if (text.startsWith(mark) && (text.size() == mark.size() || isBlank(text[mark.size()])))
            return true;
    }
    return false;
}

// A time the passage's share of time gives: on the passage's own frames at its ends, between
// frames inside.
CueTime timeAt(qint64 milliseconds, const GatheredPassage &passage)
{
    if (milliseconds == passage.start.milliseconds)
        return passage.start;
    if (milliseconds == passage.end.milliseconds)
        return passage.end;
    return CueTime{milliseconds, -1};
}

// Speakers' turns in one cue, each after a dialogue dash when there are more.
struct Turns
{
    Turns(const Segment *segments, qsizetype count)
    {
        for (qsizetype i = 0; i < count; ++i)
            texts.push_back(count > 1 && !startsWithDash(segments[i].text)
                                    ? dash + segments[i].text
                                    : segments[i].text);
        for (qsizetype i = 0; i < count; ++i)
            turns.push_back({segments[i].voice, texts[size_t(i)]});
    }
    std::vector<QByteArray> texts;
    std::vector<CueTurn> turns;
};

} // namespace

void joinTagTurns(QList<Segment> &segments, char separator)
{
    const auto silent = [](const Segment &segment) { return !showsText(segment.text); };
    if (std::none_of(segments.begin(), segments.end(), silent)
        || std::all_of(segments.begin(), segments.end(), silent))
        return; // a passage of tags alone is written as it stands
    QList<Segment> turns;
    QByteArray opening; // tags that open the next text shown
    for (Segment &segment : segments) {
        if (showsText(segment.text)) {
            segment.text.prepend(opening);
            opening.clear();
            // the same speaker again, as if the share between had not been there
            if (!turns.isEmpty() && turns.last().voice == segment.voice)
                turns.last().text += separator + segment.text;
            else
                turns.append(std::move(segment));
            continue;
        }
        // Kept lines end where tags end: no line break goes with them.
        const QByteArray tags = QByteArray(segment.text).replace('\n', ' ').trimmed();
        const qsizetype split = !turns.isEmpty() && opening.isEmpty() ? leadingEndTags(tags) : 0;
        if (!turns.isEmpty())
            turns.last().text += tags.first(split);
        opening += tags.sliced(split).trimmed();
    }
    turns.last().text += opening;
    segments = std::move(turns);
}

DialogueWriter::DialogueWriter(TimedCueSink &sink, const SplitLimits &split,
                               std::optional<QByteArray> unnamed)
    : m_sink(sink), m_split(split), m_unnamed(std::move(unnamed))
{
}

// A segment's text in a cue of its own: after its speaker's name where the speaker changes, as
// a viewer cannot see the voice. Inside the text, the name counts toward the line's width.
QByteArray DialogueWriter::named(const Segment &segment)
{
    const bool changes = std::exchange(m_lastVoice, segment.voice) != segment.voice;
    return changes && m_unnamed && segment.voice != *m_unnamed
            ? shownName(segment.voice) + segment.text
            : segment.text;
}

void DialogueWriter::write(const QList<Segment> &segments, const GatheredPassage &passage)
{
    if (m_split.maxChars)
        writeSplit(segments, passage);
    else
        writeWhole(segments, passage);
}

void DialogueWriter::writeCue(TimedCue cue, bool split)
{
    cue.split = split;
    m_sink.write(cue);
}

// The passage in one cue: one speaker's text, or each speaker's on a line of its own, opened
// by a dialogue dash.
void DialogueWriter::writeWhole(const QList<Segment> &segments, const GatheredPassage &passage)
{
    if (segments.size() == 1) {
        const QByteArray text = named(segments.front());
        const CueTurn turn{segments.front().voice, text};
        writeCue({passage.start, passage.end, &turn, 1, passage.line}, false);
        return;
    }
    m_lastVoice = segments.back().voice;
    const Turns turns(segments.constData(), segments.size());
    writeCue({passage.start, passage.end, turns.turns.data(), segments.size(), passage.line},
             false);
}

// How many speakers' lines from `first` on share a cue, a line each, as a subtitler sets a
// quick exchange ("- Ready?" / "- Yes."): each fits a line, the speaker changes at each, and
// they fit the cue's lines and, in their share of the time, its time limit.
qsizetype DialogueWriter::sharedTurns(const QList<Segment> &segments, qsizetype first) const
{
    const auto fits = [&](qsizetype i) {
        const QByteArray &text = segments[i].text;
        const qsizetype room = m_split.maxChars - (startsWithDash(text) ? 0 : dash.size());
        return !text.contains('\n') && visibleLength(text, room) <= room;
    };
    qsizetype end = first;
    while (end < segments.size() && end - first < m_split.maxLines && fits(end)
           && (end == first || segments[end].voice != segments[end - 1].voice))
        ++end;
    return end - first;
}

// Each speaker's text is split on its own, in its share of the passage's speaking time, so
// that a change of speaker is always a cut, unless short lines share a cue. Every cue gets a
// millisecond at least: when the passage has no more, its last cue takes the rest.
void DialogueWriter::writeSplit(const QList<Segment> &segments, const GatheredPassage &passage)
{
    std::vector<qint64> own; // each segment's speaking time
    std::vector<qint64> spoken; // up to the end of each segment, a pause at each change
    qint64 total = 0;
    for (const Segment &segment : segments) {
        own.push_back(speakingTime(segment.text));
        spoken.push_back(total += own.back() + (spoken.empty() ? 0 : pauseUnits(Break::Sentence)));
    }
    const qint64 start = passage.start.milliseconds;
    const qint64 end = passage.end.milliseconds;
    const bool timed = end > start;
    const auto endAt = [&](qsizetype last, qint64 from) {
        return !timed || last + 1 == segments.size()
                ? end
                : std::clamp(shareEnd(start, end - start, spoken[size_t(last)], total), from + 1,
                             end - 1);
    };
    qint64 from = start;
    for (qsizetype i = 0; i < segments.size();) {
        qsizetype count = std::max<qsizetype>(sharedTurns(segments, i), 1);
        if (timed && end - from < 2)
            count = segments.size() - i; // no millisecond left for another cue
        while (count > 1 && endAt(i + count - 1, from) - from > m_split.maxDuration)
            --count;
        const qint64 to = endAt(i + count - 1, from);
        if (count > 1) {
            m_lastVoice = segments[i + count - 1].voice;
            const Turns turns(&segments[i], count);
            writeCue({timeAt(from, passage), timeAt(to, passage),
                      turns.turns.data(), count, passage.line},
                     true);
        } else {
            const QByteArray text = named(segments[i]);
            // a name shown before the text takes reading time of its own
            const bool bare = text.size() == segments[i].text.size();
            // Made once, not for each cue: copying the voice takes two atomic operations.
            CueTurn turn{segments[i].voice, {}};
            splitPassage(text, from, to, m_split, [&](const CueView &cue) {
                turn.text = cue.text;
                writeCue({timeAt(cue.start, passage), timeAt(cue.end, passage), &turn, 1,
                          passage.line},
                         true);
            }, bare ? own[size_t(i)] : -1);
        }
        from = timed ? to : start; // a passage that ends before it starts has no share to hand on
        i += count;
    }
}
