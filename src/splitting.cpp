// Splitting a passage into readable cues, and sharing its time among them.
#include "splitting.h"

#include "diagnostics.h"
#include "markup.h"
#include "planner.h"

#include <algorithm>

namespace {

// The characters a passage's cues show in all, which their durations depend on, are known
// only once it is split. A split is redone with the count its cues show until the widths
// that decide durations come out the same, at most so often.
constexpr int maxRounds = 4;

// A cue w wide lasts w * duration / shown, give or take the millisecond that rounding the
// shares may add or take off.
TimeWidths timeWidths(qint64 duration, qsizetype shown, qint64 maxDuration)
{
    if (duration <= 0)
        return {};
    return {qsizetype((minCueMilliseconds + 1) * shown / duration),
            qsizetype((maxDuration - 1) * shown / duration)};
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
            to = total ? shareEnd(start, duration, shown, total)
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
    // Each cut drops a blank, and a cue shows at most maxLines * (maxChars + 1) characters,
    // or what stays within the time limit: a guess at what the cues show that is seldom off
    // by enough to change a width, so that a long passage is seldom planned twice.
    const qsizetype widest = std::max<qsizetype>(
            std::min(qsizetype(limits.maxLines) * (limits.maxChars + 1),
                     timeWidths(duration, visible, limits.maxDuration).longest),
            1);
    qsizetype shown = visible - visible / widest;
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
