// The cheapest split of a passage into cues: a shortest path over the positions between its
// words, found in one pass and holding only the words whose cues are not yet settled. What
// cues, cuts and breaks cost is set out in planner.cpp and breaks.h.
#ifndef CUEFOLD_PLANNER_H
#define CUEFOLD_PLANNER_H

#include "layout.h"
#include "splitting.h"
#include "words.h"

#include <QByteArrayView>
#include <QList>

#include <algorithm>
#include <limits>
#include <vector>

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

struct Step
{
    double cost = 0; // of the best split of the words before this position
    qsizetype start = 0; // where its last cue starts
};

// Reads the passage once and makes its cues as soon as every way forward agrees on them.
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
    qsizetype lineEnd(qsizetype i);
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
    qsizetype m_lastLong = -1; // the last word read that alone stays past the limit
    qsizetype m_base = 0;
    qsizetype m_sentences = 0;
    qsizetype m_start = 0; // the earliest start of a cue ending at m_startFor, the last settled
    qsizetype m_startFor = 0;
    qsizetype m_lineEnds = 0; // the first word whose line end is not known
    bool m_ended = false;
    bool m_done = false;
    QList<Cue> m_cues;
};

#endif
