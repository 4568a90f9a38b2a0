// What makes captions readable: the thresholds that --check warns at and the splitter keeps
// to, and what each of the splitter's choices costs. Named once here, read by both.
#ifndef CUEFOLD_READABILITY_H
#define CUEFOLD_READABILITY_H

#include "breaks.h"

#include <QtGlobal>

// Comfortable reading for most viewers; subtitling guides give 15 to 20.
inline constexpr int maxCharactersPerSecond = 20;
// Shorter cues flash by before the eye has found them.
inline constexpr qint64 minCueMilliseconds = 5000 / 6;
// Longer cues hold more than a viewer takes in at once.
inline constexpr qint64 maxCueMilliseconds = 7000;
// What broadcast captions keep a line to.
inline constexpr qsizetype maxLineCharacters = 42;

// What a break of each class adds to the cost of a line break (a cut between cues weighs
// more: cutWeight). With two lines balanced by (length - mean)^2 / mean^2, a sentence end
// is taken over an even plain space down to lines of 1:6, a comma or pause to 1:4, a phrase
// start to 1:3. A bad break costs more than any shape: it is made only where nothing fits.
inline constexpr double breakPenalties[] = {0.0, 0.0, 0.25, 0.5, 1.0, 100.0};
constexpr double breakPenalty(Break b)
{
    return breakPenalties[int(b)];
}

constexpr double square(double x)
{
    return x * x;
}

// A line or cue that leaves the first word of a sentence at its end, or the last word of one
// at its start, reads as badly as a break after an article.
inline constexpr double strandPenalty = breakPenalty(Break::Bad);

// What a split costs besides its breaks. Every cue costs a little, so that a sentence that
// fits one cue keeps it.
inline constexpr double cuePenalty = 1.0;
// A cut between cues costs this many times a line break of its class (above): a reader
// carries half a clause over a line break, not over a change of cue. So a long sentence is
// cut at its clauses and phrases, into more cues if need be, before it is cut at a space.
inline constexpr double cutWeight = 6.0;
// A cue that holds part of a sentence costs (1 - f)^2 / 2 when filled to f of what a cue
// holds, so that among cuts of one class the parts of a long sentence come out even.
inline constexpr double shapeWeight = 0.5;
// A sentence end inside a cue costs more than a cue with the worst shape (1.5), so that
// each sentence that can have a cue of its own gets one, as people subtitle.
inline constexpr double sentenceInsidePenalty = 2.0;
// More than all other costs together: a cue too short to read is made only when the
// passage leaves no choice. A cue past the time limit is never made, unless it is one word.
inline constexpr double shortPenalty = 1e9;

// Two sentences on one line of a cue that has more lines: the end of the first is where a
// subtitler breaks the line, even when that leaves the lines uneven.
inline constexpr double sentenceInLinePenalty = 1.0;

#endif
