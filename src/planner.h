// The cheapest split of a passage into cues: a shortest path over the positions between its
// words, found in one pass and holding only the words whose cues are not yet settled. What
// cues, cuts and breaks cost is set out in planner.cpp and breaks.h.
#ifndef CUEFOLD_PLANNER_H
#define CUEFOLD_PLANNER_H

#include "layout.h"
#include "splitting.h"
#include "words.h"

#include <QByteArrayView>

#include <algorithm>
#include <limits>
#include <vector>

// Shares a passage's time among its cues by the speaking time they hold, tiling it exactly
// and giving each cue a millisecond at least. A passage that ends at or before its start
// gives every cue its own timing.
class CueClock
{
public:
    CueClock(qint64 start, qint64 end, qint64 spoken)
        : m_start(start), m_end(end), m_spoken(spoken), m_from(start)
    {
    }

    // Whether a cue can end before the passage does and leave the next one its millisecond.
    bool hasRoom() const { return m_end <= m_start || m_end - m_from >= 2; }
    // Where a cue ending `spoken` into the passage ends, before the millisecond floor.
    qint64 at(qint64 spoken) const
    {
        return m_spoken > 0 ? shareEnd(m_start, m_end - m_start, spoken, m_spoken) : m_start;
    }
    bool isTimed() const { return m_end > m_start; }
    // Times the next cue, which ends `spoken` into the passage, or with it.
    void time(CueView &cue, qint64 spoken, bool last);

private:
    qint64 m_start;
    qint64 m_end;
    qint64 m_spoken; // the passage's
    qint64 m_from; // where the next cue starts
};

// A word position that only grows with the position p it is found for, so that each is
// found from the last; settling p again (after a forced commit) starts it over.
struct Frontier
{
    qsizetype at = 0;
    qsizetype of = 0;

    qsizetype &from(qsizetype p, qsizetype base)
    {
        at = p < of ? base : std::max(at, base);
        of = p;
        return at;
    }
};

struct Step
{
    double cost = 0; // of the best split of the words before this position
    qsizetype start = 0; // where its last cue starts
};

// Reads the passage once and makes its cues as soon as every way forward agrees on them.
class Planner
{
public:
    Planner(QByteArrayView passage, const SplitLimits &limits, CueClock &clock,
            const CueSink &sink)
        : m_reader(passage), m_writer(passage), m_limits(limits),
          m_capacity(qsizetype(limits.maxChars) * limits.maxLines),
          m_shapes(size_t(m_capacity) + 1, -1.0), m_clock(clock), m_sink(sink)
    {
    }

    void run();

private:
    // What the planner works out for the word at a position once.
    struct Memo
    {
        qsizetype sentences = 0; // sentence ends before it in the passage
        qsizetype lineEnd = 0; // where a line from it ends at the latest
        qint64 startsAt = 0; // where a cue from it starts, before the millisecond floor
        double breakPrice = 0; // of a line break before it
    };

    Word &word(qsizetype k) { return m_words[size_t(k - m_base)]; }
    Memo &memo(qsizetype k) { return m_memos[size_t(k - m_base)]; }
    Step &step(qsizetype p) { return m_steps[size_t(p - m_base)]; }
    qsizetype loaded() const { return m_base + qsizetype(m_words.size()); }
    bool isEnd(qsizetype p) const { return m_ended && p == loaded(); }
    qsizetype width(qsizetype first, qsizetype end) { return word(end - 1).to - word(first).from; }
    qint64 spokenAt(qsizetype p) { return isEnd(p) ? m_spoken : word(p).spokenFrom; }

    bool load();
    void settle(qsizetype p);
    qsizetype lineEnd(qsizetype i) { return i < m_lineEnds ? memo(i).lineEnd : findLineEnds(i); }
    qsizetype findLineEnds(qsizetype i);
    double shape(qsizetype width);
    double linesPrice(qsizetype i, qsizetype p);
    qsizetype earliestStart(qsizetype p);
    qsizetype lastLineStart(qsizetype p);
    void tryCommit(qsizetype p);
    void commit(qsizetype to);
    void makeCue(qsizetype first, qsizetype end);
    void makeRest(qsizetype first);
    void deliver(CueView cue, qint64 spoken, bool last);

    WordReader m_reader;
    CueWriter m_writer;
    SplitLimits m_limits;
    qsizetype m_capacity;
    std::vector<double> m_shapes; // by width; below 0 until worked out
    CueClock &m_clock;
    const CueSink &m_sink;
    std::vector<Word> m_words; // words from m_base on
    std::vector<Memo> m_memos;
    std::vector<Step> m_steps; // positions from m_base on
    std::vector<qsizetype> m_ends; // of the cues commit() makes, last first
    qsizetype m_base = 0;
    qsizetype m_sentences = 0;
    qint64 m_spoken = 0; // up to the end of the last word read
    Frontier m_earliest; // the first word of the longest cue ending at a position
    Frontier m_lastLine; // of the longest line ending there
    Frontier m_within; // of the longest cue ending there within the time limit
    qsizetype m_lineEnds = 0; // the first word whose line end is not known
    bool m_ended = false;
    bool m_done = false;
};

#endif
