// Splitting a passage into readable cues, and sharing its time among them.
#include "splitting.h"

#include "diagnostics.h"
#include "layout.h"
#include "markup.h"
#include "words.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// What a split costs besides its breaks. Every cue costs a little, so that a sentence that
// fits one cue keeps it.
constexpr double cuePenalty = 1.0;
// A cut between cues costs this many times a line break of its class (breaks.h): a reader
// carries half a clause over a line break, not over a change of cue. So a long sentence is
// cut at its clauses and phrases, into more cues if need be, before it is cut at a space.
constexpr double cutWeight = 6.0;
// A cue that holds part of a sentence costs (1 - f)^2 / 2 when filled to f of what a cue
// holds, so that among cuts of one class the parts of a long sentence come out even.
constexpr double shapeWeight = 0.5;
// A sentence end inside a cue costs more than a cue with the worst shape (1.5), so that
// each sentence that can have a cue of its own gets one, as people subtitle.
constexpr double sentenceInsidePenalty = 2.0;
// More than all other costs together: a cue too short to read is made only when the
// passage leaves no choice.
constexpr double shortPenalty = 1e9;
// Next to that, each character's worth of time a cue stays past the limit, unless one of its
// words alone does: cutting that cue would not bring it within ("I can't." over 16 s is not
// helped by a cue of "I"). Counted in time, not in cues, so that where limits this tight
// leave no cue between them, many cues a little long beat one far too long.
constexpr double longPenalty = 1e5;
// The planner makes the cues that every way forward agrees on. When ways stay apart this
// many words (a long run of equal words), it makes the best one's cues up to half as far.
constexpr qsizetype maxPending = 4096;
// Looking for cues to make costs a walk back over the words pending: done every so many.
constexpr qsizetype commitEvery = 64;
// The characters a passage's cues show in all, which their durations depend on, are known
// only once it is split. A split is redone with the count its cues show until the widths
// below come out the same, at most so often.
constexpr int maxRounds = 4;

double square(double x)
{
    return x * x;
}

// The widths (visible characters, blanks between words included) that decide how long a
// cue stays on screen, for a passage of `duration` ms whose cues show `shown` characters.
struct TimeWidths
{
    qsizetype shortest = -1; // this wide or narrower: shorter than 5/6 s
    qsizetype longest = std::numeric_limits<qsizetype>::max(); // wider: past the limit

    // Whether a split with these widths is the split with `other`, for cues up to `widest`.
    bool sameUpTo(const TimeWidths &other, qsizetype widest) const
    {
        return std::min(shortest, widest) == std::min(other.shortest, widest)
                && std::min(longest, widest) == std::min(other.longest, widest);
    }
};

// A cue w wide lasts w * duration / shown, give or take the millisecond that rounding the
// shares may add or take off.
TimeWidths timeWidths(qint64 duration, qsizetype shown, qint64 maxDuration)
{
    if (duration <= 0)
        return {};
    return {qsizetype((minCueMilliseconds + 1) * shown / duration),
            qsizetype((maxDuration - 1) * shown / duration)};
}

struct Step
{
    double cost = 0; // of the best split of the words before this position
    qsizetype start = 0; // where its last cue starts
};

// The cheapest split of the whole passage (a shortest path over the positions between
// words), found in one pass over it and holding only the words whose cues are not settled.
class Planner
{
public:
    Planner(QByteArrayView passage, const SplitLimits &limits, TimeWidths widths,
            qint64 duration)
        : m_reader(passage), m_writer(passage), m_limits(limits),
          m_capacity(double(limits.maxChars) * limits.maxLines), m_widths(widths),
          m_maxCues(duration > 0 ? duration : std::numeric_limits<qint64>::max())
    {
    }

    QList<Cue> run();
    qsizetype widest() const { return m_widest; } // of the cues weighed

private:
    Word &word(qsizetype k) { return m_words[size_t(k - m_base)]; }
    Step &step(qsizetype p) { return m_steps[size_t(p - m_base)]; }
    qsizetype loaded() const { return m_base + qsizetype(m_words.size()); }
    bool isEnd(qsizetype p) const { return m_ended && p == loaded(); }
    qsizetype width(qsizetype first, qsizetype end) { return word(end - 1).to - word(first).from; }

    bool load();
    void settle(qsizetype p);
    qsizetype earliestStart(qsizetype p);
    void tryCommit(qsizetype p);
    void commit(qsizetype to);
    void makeCue(qsizetype first, qsizetype end);
    void makeRest(qsizetype first);

    WordReader m_reader;
    CueWriter m_writer;
    SplitLimits m_limits;
    double m_capacity;
    TimeWidths m_widths;
    qint64 m_maxCues; // a cue a millisecond at most
    qsizetype m_widest = 0;
    std::vector<Word> m_words; // words from m_base on
    std::vector<Step> m_steps; // positions from m_base on
    qsizetype m_base = 0;
    qsizetype m_sentences = 0;
    qsizetype m_lastStart = 0; // the earliest start of a cue ending at the last position settled
    bool m_ended = false;
    bool m_done = false;
    QList<Cue> m_cues;
};

bool Planner::load()
{
    Word w;
    if (!m_reader.next(&w)) {
        m_ended = true;
        return false;
    }
    if (loaded() > 0 && endsSentence(w.before))
        ++m_sentences;
    w.sentences = m_sentences;
    m_words.push_back(w);
    return true;
}

QList<Cue> Planner::run()
{
    m_steps.push_back(Step{});
    for (qsizetype p = 1; !m_done; ++p) {
        while (!m_ended && loaded() <= p)
            load();
        if (p > loaded())
            break; // no words at all
        settle(p);
        if (isEnd(p))
            commit(p);
        else if ((p - m_base) % commitEvery == 0)
            tryCommit(p);
    }
    return std::move(m_cues);
}

// The best split of the words before position p: the cheapest of a cue from each start
// that fits, after the best split before that start. What does not depend on the start is
// worked out once.
void Planner::settle(qsizetype p)
{
    m_lastStart = earliestStart(p);
    const bool last = isEnd(p);
    const Break after = last ? Break::Sentence : word(p).before;
    const double fixed = cuePenalty + (last ? 0.0 : cutWeight * breakPenalty(after));
    const Word &lastWord = word(p - 1);
    Step best{std::numeric_limits<double>::infinity(), p - 1};
    qsizetype widest = 0; // word
    for (qsizetype i = p - 1; i >= m_lastStart; --i) {
        const Word &first = word(i);
        const qsizetype width = lastWord.to - first.from;
        widest = std::max(widest, first.to - first.from);
        m_widest = std::max(m_widest, width);
        double cost = step(i).cost + fixed
                + sentenceInsidePenalty * double(lastWord.sentences - first.sentences);
        if (!endsSentence(after) || !endsSentence(first.before))
            cost += shapeWeight * square(1 - std::min(double(width) / m_capacity, 1.0));
        if (strands(&first, 0, p - i, after))
            cost += strandPenalty;
        if (width <= m_widths.shortest)
            cost += shortPenalty;
        if (width > m_widths.longest && widest <= m_widths.longest)
            cost += longPenalty * double(width - m_widths.longest);
        if (cost < best.cost)
            best = {cost, i};
    }
    if (p - m_base == qsizetype(m_steps.size()))
        m_steps.push_back(best);
    else
        step(p) = best;
}

// The first word of the longest cue that ends at p: last fit, which needs the fewest lines.
qsizetype Planner::earliestStart(qsizetype p)
{
    int lines = 1;
    qsizetype lineEnd = p;
    qsizetype i = p - 1;
    for (; i > m_base; --i) {
        if (word(i).before == Break::Forced || width(i - 1, lineEnd) > m_limits.maxChars) {
            if (lines == m_limits.maxLines)
                break;
            ++lines;
            lineEnd = i;
        }
    }
    return i;
}

// Makes the cues that all splits still open share: every way to a cue end yet to come
// passes through one of the positions from m_lastStart on, and their ways meet somewhere.
void Planner::tryCommit(qsizetype p)
{
    qsizetype meet = p;
    for (qsizetype q = m_lastStart; q < p; ++q) {
        qsizetype x = q;
        while (x != meet) {
            if (x > meet)
                x = step(x).start;
            else
                meet = step(meet).start;
        }
    }
    if (meet > m_base) {
        commit(meet);
        return;
    }
    if (p - m_base < maxPending)
        return;
    qsizetype to = p;
    while (to > p - maxPending / 2)
        to = step(to).start;
    if (to == m_base)
        return; // cues longer than that: wait for more
    commit(to);
    for (qsizetype q = to + 1; q <= p; ++q)
        settle(q); // from the cues made, not from the ways dropped

}

void Planner::commit(qsizetype to)
{
    std::vector<qsizetype> ends;
    for (qsizetype e = to; e > m_base; e = step(e).start)
        ends.push_back(e);
    qsizetype first = m_base;
    for (auto e = ends.rbegin(); e != ends.rend() && !m_done; ++e) {
        if (qint64(m_cues.size()) + 1 == m_maxCues && !isEnd(*e))
            makeRest(first);
        else
            makeCue(first, *e);
        first = *e;
    }
    m_words.erase(m_words.begin(), m_words.begin() + (to - m_base));
    m_steps.erase(m_steps.begin(), m_steps.begin() + (to - m_base));
    m_base = to;
}

void Planner::makeCue(qsizetype first, qsizetype end)
{
    const std::vector<qsizetype> starts =
            lineStarts({&word(first), end - first}, m_limits.maxChars, m_limits.maxLines);
    std::vector<CueWriter::Range> lines;
    for (size_t k = 0; k < starts.size(); ++k) {
        const qsizetype lineEnd = k + 1 < starts.size() ? first + starts[k + 1] : end;
        lines.push_back({word(first + starts[k]).begin, word(lineEnd - 1).end});
    }
    m_cues.append(m_writer.make(lines, isEnd(end)));
}

// A passage too short for a millisecond a cue: its last cue that can have one takes the
// rest of the words, in as many lines as they fill.
void Planner::makeRest(qsizetype first)
{
    std::vector<CueWriter::Range> lines;
    qsizetype lineFrom = 0;
    const auto add = [&](const Word &w) {
        if (lines.empty() || w.before == Break::Forced || w.to - lineFrom > m_limits.maxChars) {
            lines.push_back({w.begin, w.end});
            lineFrom = w.from;
        } else {
            lines.back().end = w.end;
        }
    };
    for (qsizetype k = first; k < loaded(); ++k)
        add(word(k));
    for (Word w; m_reader.next(&w);)
        add(w);
    m_cues.append(m_writer.make(lines, true));
    m_done = true;
}

// The passage's time is shared in proportion to what each cue shows, tiling it exactly,
// and every cue gets a millisecond at least. A passage that ends at or before its start
// gives every cue its own timing.
void shareTime(QList<Cue> &cues, qint64 start, qint64 end)
{
    const qint64 duration = end - start;
    qsizetype total = 0;
    for (const Cue &cue : cues)
        total += cue.visible;
    const auto count = qint64(cues.size());
    qsizetype shown = 0;
    qint64 from = start;
    for (qint64 k = 0; k < count; ++k) {
        Cue &cue = cues[k];
        shown += cue.visible;
        qint64 to = end;
        if (duration > 0 && k + 1 < count) {
            to = total ? start + (2 * duration * shown + total) / (2 * total)
                       : start + duration * (k + 1) / count;
            to = std::max(from + 1, std::min(to, end - (count - 1 - k)));
        }
        cue.start = duration <= 0 ? start : from;
        cue.end = to;
        from = to;
    }
}

} // namespace

QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits)
{
    const qint64 duration = end - start;
    const qsizetype visible = visibleLength(text);
    // Each cut drops a blank at least, and a cue shows at most maxLines * (maxChars + 1).
    qsizetype shown = visible - visible / (qsizetype(limits.maxLines) * (limits.maxChars + 1));
    TimeWidths widths = timeWidths(duration, shown, limits.maxDuration);
    QList<Cue> cues;
    for (int round = 1;; ++round) {
        cues = QList<Cue>(); // not held twice
        Planner planner(text, limits, widths, duration);
        cues = planner.run();
        if (cues.isEmpty()) // nothing but blanks, which the converter never passes
            cues.append(Cue{text.toByteArray(), visible});
        shown = 0;
        for (const Cue &cue : cues)
            shown += cue.visible;
        const TimeWidths shownWidths = timeWidths(duration, shown, limits.maxDuration);
        if (shownWidths.sameUpTo(widths, planner.widest()) || round == maxRounds)
            break;
        widths = shownWidths;
    }
    shareTime(cues, start, end);
    return cues;
}
