// The cheapest split of a passage into cues.
#include "planner.h"

#include "readability.h"

#include <algorithm>

namespace {

// The planner makes the cues that every way forward agrees on. When ways stay apart this
// many words (a long run of equal words), it makes the best one's cues up to half as far.
constexpr qsizetype maxPending = 4096;
// Looking for cues to make costs a walk back over the words pending: done every so many.
constexpr qsizetype commitEvery = 64;

} // namespace

bool Planner::load()
{
    const bool stranding = !m_words.empty() && endsSentence(m_words.back().before);
    Word &w = m_words.emplace_back();
    if (!m_reader.next(&w)) {
        m_words.pop_back();
        m_ended = true;
        return false;
    }
    if (loaded() > 1 && w.before == Break::Sentence) // a turn of dialogue may share a cue
        ++m_sentences;
    m_spoken = w.spokenTo;
    const bool stranded = stranding && w.before > Break::Clause;
    Memo &memo = m_memos.emplace_back();
    memo.sentences = m_sentences;
    memo.startsAt = m_clock.at(w.spokenFrom);
    memo.breakPrice = breakPenalty(w.before) + (stranded ? strandPenalty : 0.0);
    return true;
}

void Planner::run()
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
}

// What the shape of a cue of `width` characters, up to what a cue holds, costs: worked out
// once for each width, since every cue weighed asks.
Q_ALWAYS_INLINE double Planner::shape(qsizetype width)
{
    double &cost = m_shapes[size_t(width)];
    if (cost < 0)
        cost = shapeWeight * square(1 - double(width) / double(m_capacity));
    return cost;
}

// The best split of the words before position p: the cheapest of a cue from each start
// that fits, after the best split before that start. What does not depend on the start is
// worked out once.
void Planner::settle(qsizetype p)
{
    const qsizetype lo = earliestStart(p);
    const bool last = isEnd(p);
    const Break after = last ? Break::Sentence : word(p).before;
    const double fixed = cuePenalty + (last ? 0.0 : cutWeight * breakPenalty(after));
    const qint64 to = last ? m_clock.at(m_spoken) : memo(p).startsAt;
    const bool timed = m_clock.isTimed();
    const qsizetype sentences = memo(p - 1).sentences;
    const qsizetype oneLine = lastLineStart(p); // the cues from there on fit one line
    // Where the last of two lines ending at p starts at the earliest.
    const qsizetype secondLine = std::max(std::min(lo + 1, p - 1), oneLine);
    const qsizetype visibleEnd = word(p - 1).to;
    // The cheapest break before a second line that starts from there, up to where the first
    // line from i can reach: the cues weighed start later and later, so it only reaches
    // further, mostly by one or two breaks, which are taken without a branch. A start weighed
    // ends its first line where a second one to p can start, so no break taken is behind.
    qsizetype reach = secondLine - 1;
    double cheapest = std::numeric_limits<double>::infinity();
    const auto secondLinePrice = [&](qsizetype i) {
        const qsizetype lastBreak = lineEnd(i);
        Q_ASSERT(lastBreak >= secondLine);
        const qsizetype next = std::min(reach + 1, lastBreak);
        reach = std::min(reach + 2, lastBreak);
        cheapest = std::min({cheapest, memo(next).breakPrice, memo(reach).breakPrice});
        for (; reach < lastBreak; ++reach)
            cheapest = std::min(cheapest, memo(reach + 1).breakPrice);
        return cheapest;
    };
    Step best{std::numeric_limits<double>::infinity(), p - 1};
    // Weighs the cue from word i. Time comes first, so that a cue too short is dropped before
    // its breaks are weighed; a tie goes to the shorter cue.
    const auto weigh = [&](qsizetype i) {
        const Word &first = word(i);
        double cost = step(i).cost + fixed
                + sentenceInsidePenalty * double(sentences - memo(i).sentences);
        if (timed && to - memo(i).startsAt < minCueMilliseconds)
            cost += shortPenalty;
        if (cost > best.cost)
            return; // the rest only adds
        if (!endsSentence(after) || !endsSentence(first.before))
            cost += shape(std::min(visibleEnd - first.from, m_capacity));
        if (strands(&first, 0, p - i, after))
            cost += strandPenalty;
        if (cost < best.cost && i < oneLine)
            cost += m_limits.maxLines > 2 ? linesPrice(i, p) : secondLinePrice(i);
        if (cost < best.cost || (cost == best.cost && i > best.start))
            best = {cost, i};
    };
    // The cues within the time limit, from the longest on, so that the best comes early and
    // most of the others are dropped on their first costs. Times fall as starts rise.
    qsizetype &longest = m_within.from(p, m_base);
    longest = std::max(longest, lo);
    while (timed && longest < p && to - memo(longest).startsAt > m_limits.maxDuration)
        ++longest;
    const qsizetype within = longest;
    const Step *before = &step(within); // settling makes no steps
    for (qsizetype i = within; i < p; ++i, ++before) {
        if (before->cost + fixed <= best.cost) // what weigh() adds is never below 0
            weigh(i);
    }
    if (within == p)
        weigh(p - 1); // a word that alone takes longer
    if (p - m_base == qsizetype(m_steps.size()))
        m_steps.push_back(best);
    else
        step(p) = best;
}

// What the line breaks of the cue of words [i, p), more than two lines, cost at the least.
// Two lines take the best break that fits, by its class alone, which is cheap enough to
// weigh for every cue; more are laid out.
double Planner::linesPrice(qsizetype i, qsizetype p)
{
    double price = 0;
    lineStarts({&word(i), p - i}, m_limits.maxChars, m_limits.maxLines, &price);
    return price;
}

// Where a line from word i ends at the latest (first fit, with a new line at a dialogue
// dash). Such ends only grow with their starts, so each is found from the last in one pass.
qsizetype Planner::findLineEnds(qsizetype i)
{
    for (m_lineEnds = std::max(m_lineEnds, m_base); m_lineEnds <= i; ++m_lineEnds) {
        const qsizetype from = m_lineEnds;
        qsizetype end = std::max(from + 1, from > m_base ? memo(from - 1).lineEnd : 0);
        while ((end < loaded() || (!m_ended && load())) && word(end).before != Break::Forced
               && width(from, end + 1) <= m_limits.maxChars)
            ++end;
        memo(from).lineEnd = end;
    }
    return memo(i).lineEnd;
}

// The first word of the longest cue that ends at p, which first fit tells: such starts only
// grow with their ends.
qsizetype Planner::earliestStart(qsizetype p)
{
    for (qsizetype &start = m_earliest.from(p, m_base);; ++start) {
        qsizetype end = start;
        for (int line = 0; line < m_limits.maxLines && end < p; ++line)
            end = lineEnd(end);
        if (end >= p)
            return start;
    }
}

// The first word of the longest line that ends at p, which the line ends tell: such starts
// only grow with their ends.
qsizetype Planner::lastLineStart(qsizetype p)
{
    qsizetype &start = m_lastLine.from(p, m_base);
    while (lineEnd(start) < p)
        ++start;
    return start;
}

// Makes the cues that all splits still open share: every way to a cue end yet to come
// passes through one of the positions from the earliest start on, and their ways meet somewhere.
void Planner::tryCommit(qsizetype p)
{
    qsizetype meet = p;
    for (qsizetype q = m_earliest.at; q < p; ++q) {
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
    m_ends.clear();
    for (qsizetype e = to; e > m_base; e = step(e).start)
        m_ends.push_back(e);
    qsizetype first = m_base;
    for (auto e = m_ends.rbegin(); e != m_ends.rend() && !m_done; ++e) {
        if (!isEnd(*e) && !m_clock.hasRoom())
            makeRest(first);
        else
            makeCue(first, *e);
        first = *e;
    }
    const auto settled = to - m_base;
    m_words.erase(m_words.begin(), m_words.begin() + settled);
    m_memos.erase(m_memos.begin(), m_memos.begin() + settled);
    m_steps.erase(m_steps.begin(), m_steps.begin() + settled);
    m_base = to;
}

void Planner::deliver(CueView cue, qint64 spoken, bool last)
{
    m_clock.time(cue, spoken, last);
    m_sink(cue);
}

void Planner::makeCue(qsizetype first, qsizetype end)
{
    CueWriter::Lines lines;
    if (lineEnd(first) >= end) { // one line holds it
        lines.append({word(first).begin, word(end - 1).end});
        deliver(m_writer.make(lines, isEnd(end)), spokenAt(end), isEnd(end));
        return;
    }
    const std::vector<qsizetype> starts =
            lineStarts({&word(first), end - first}, m_limits.maxChars, m_limits.maxLines);
    for (size_t k = 0; k < starts.size(); ++k) {
        const qsizetype lineEnd = k + 1 < starts.size() ? first + starts[k + 1] : end;
        lines.append({word(first + starts[k]).begin, word(lineEnd - 1).end});
    }
    deliver(m_writer.make(lines, isEnd(end)), spokenAt(end), isEnd(end));
}

// A passage too short for a millisecond a cue: its last cue that can have one takes the
// rest of the words, in as many lines as they fill.
void Planner::makeRest(qsizetype first)
{
    CueWriter::Lines lines;
    qsizetype lineFrom = 0;
    const auto add = [&](const Word &w) {
        if (lines.empty() || w.before == Break::Forced || w.to - lineFrom > m_limits.maxChars) {
            lines.append({w.begin, w.end});
            lineFrom = w.from;
        } else {
            lines.back().end = w.end;
        }
    };
    for (qsizetype k = first; k < loaded(); ++k)
        add(word(k));
    for (Word w; m_reader.next(&w);)
        add(w);
    deliver(m_writer.make(lines, true), 0, true);
    m_done = true;
}

void CueClock::time(CueView &cue, qint64 spoken, bool last)
{
    const qint64 duration = m_end - m_start;
    if (duration <= 0) {
        cue.start = m_start;
        cue.end = m_end;
        return;
    }
    const qint64 to = last ? m_end : std::clamp(at(spoken), m_from + 1, m_end - 1);
    cue.start = m_from;
    cue.end = to;
    m_from = to;
}
