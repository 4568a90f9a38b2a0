// The cue model: what the converter yields and every output format writes. A cue has its exact
// times, a turn for each speaker, and its text in cue text markup as markup.h reads it (tags
// and entities), which each format turns into its own.
#ifndef CUEFOLD_CUES_H
#define CUEFOLD_CUES_H

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>

// A point in the video. Passages start and end on frames; a cut that splitting makes inside a
// passage may fall between two.
struct CueTime
{
    qint64 milliseconds = 0; // from the video's first frame, to the nearest
    qint64 frame = -1; // counted from the video's first; -1 when the time falls between frames

    bool onFrame() const { return frame >= 0; }
};

// One speaker's part of a cue: a line, or lines separated by '\n'.
struct CueTurn
{
    QByteArray voice; // the speaker's name as written; empty for none
    QByteArrayView text;
};

struct TimedCue
{
    CueTime start;
    CueTime end;
    const CueTurn *turns = nullptr;
    qsizetype turnCount = 1;
    qint64 line = 0; // of the passage's timing line in the transcript
    bool split = false; // one of the cues --max-chars made of a passage
};

// Takes cues in order and writes them in one format.
class TimedCueSink
{
public:
    virtual ~TimedCueSink() = default;

    // Starts a cue. A passage's text is handed on as it comes, so that one with a million
    // lines takes no more memory than one: continueLine() adds to the cue's last line, after
    // a space, until endCue().
    virtual void startCue(const TimedCue &cue) = 0;
    virtual void continueLine(QByteArrayView text) = 0;
    virtual void endCue() = 0;
    // After the last cue.
    virtual void finish() {}

    void write(const TimedCue &cue)
    {
        startCue(cue);
        endCue();
    }
};

inline QByteArrayView escapeArrows(QByteArrayView text, QByteArray &storage)
{
    storage = text.toByteArray().replace("-->", "--&gt;");
    return storage;
}

// Cue text never holds "-->": a WebVTT reader takes any line holding it for a timing line, so
// the arrow's '>' is written as an entity. Returns `text` itself when it needs no escape, else
// the escaped copy in `storage`. Lines with a '>' are rare enough to pay for a copy.
inline QByteArrayView escapeCueText(QByteArrayView text, QByteArray &storage)
{
    return std::memchr(text.data(), '>', size_t(text.size())) ? escapeArrows(text, storage) : text;
}

#endif
