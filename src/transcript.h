// The converter: a transcript of HH:MM:SS:FF timing lines and text lines in, cues out to the
// document's format, and diagnostics. It holds the passage at hand and nothing else; lines,
// timings, timecodes, splitting, diagnostics and each format live in their own file.
#ifndef CUEFOLD_TRANSCRIPT_H
#define CUEFOLD_TRANSCRIPT_H

#include "cuecheck.h"
#include "cues.h"
#include "diagnostics.h"
#include "dialogue.h"
#include "formats.h"
#include "lines.h"
#include "speakers.h"
#include "splitting.h"
#include "timecode.h"
#include "writer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

// Converts a whole transcript with the default options: the program's library entry.
QString convertTranscript(const QString &transcript);

struct ConversionOptions
{
    FrameRate rate;
    bool startAuto = false; // the video starts at the whole hour of the first timing
    std::optional<Timecode> start; // the video's first frame
    SplitLimits split;
    bool check = false; // report what may be wrong
    bool voices = false; // speaker labels ("ANNA: ...") name the voice
    Speakers speakers; // which labels name speakers: listed, or read ahead from the transcript
    QByteArray voice = "Speaker"; // of text with no label; empty: no voice tag
    bool speakerNames = false; // the text shows who speaks where no dialogue dash does
    bool keepLines = false; // each transcript line stays a line of its cue
    const Format *format = &defaultFormat(); // of the document
    QByteArray language = "en"; // of the captions, where the format names it
};

// Converts UTF-8 text fed in pieces cut anywhere, writing the document as it is made. It holds
// only the line at hand (and, when splitting, the passage at hand).
class TranscriptConverter
{
public:
    using Output = DocumentWriter::Output;
    using Report = Diagnostics::Report;

    TranscriptConverter(const ConversionOptions &options, Output output, Report report = {});

    // False once the output has failed: there is no point in going on.
    bool feed(QByteArrayView text);
    void finish();

    qint64 lineNumber() const { return m_lines.lineNumber(); } // of the next byte
    bool foundTiming() const { return m_foundTiming; }
    // What the transcript had instead of timing lines, when that explains their absence.
    QString missingTimingHint() const { return Diagnostics::missingTimingHint(m_nearMiss); }
    bool outputFailed() const { return m_writer.failed(); }
    // For what the reader finds in the text before it is fed.
    Diagnostics &diagnostics() { return m_diagnostics; }

private:
    // One timing line and the text under it: a cue, when it is not gathered.
    struct Passage : TimedCue
    {
        // Declared, for clang: std::optional<Passage> is met before the class is complete.
        Passage() : TimedCue() {}
        bool dropped = false; // ends before the video's first frame
        bool clipped = false; // starts before it
        bool hasText = false;
    };

    void takeLine(QByteArrayView line);
    void takeTiming(QByteArrayView line, qsizetype at, qsizetype length);
    void takeText(const char *begin, const char *end);
    void gatherText(QByteArrayView text, bool hasText);
    void appendText(QByteArrayView text, bool hasText);
    void keepLabelLine();
    void closePassage();

    const ConversionOptions m_options;
    // 25 frames a second from zero, no checks: most transcripts are so, and their times need
    // no general arithmetic.
    const bool m_plainTimes;
    DocumentWriter m_writer;
    const std::unique_ptr<TimedCueSink> m_format;
    Diagnostics m_diagnostics;
    const std::unique_ptr<CueCheck> m_check; // with --check
    TimedCueSink &m_sink; // the check, or else the format
    LineReader m_lines;
    std::optional<Passage> m_passage;
    // When the passage is written only once it is whole (splitting, speakers, kept lines): its
    // text so far, a segment for each speaker or, splitting with kept lines, each line.
    const bool m_gathers;
    QList<Segment> m_segments;
    QByteArray m_voice; // the speaker now, across passages
    // A label alone on its line, until text under it shows it was one; else it is kept as text,
    // under the speaker before it.
    QByteArray m_labelLine;
    QByteArray m_voiceBeforeLabel;
    CueTurn m_plainTurn; // of a passage not gathered, when its text starts
    QByteArray m_escaped; // the line being handed on, when it needs an escape
    DialogueWriter m_dialogue;
    std::optional<qint64> m_startFrame; // the video's first frame, once known
    qint64 m_previousEnd = -1;
    qint64 m_cues = 0; // passages with text, kept or dropped
    qint64 m_droppedCues = 0; // by --start
    qint64 m_firstDroppedLine = 0;
    Diagnostics::NearMiss m_nearMiss = Diagnostics::NearMiss::None; // the first telling one
    bool m_foundTiming = false;
    bool m_reportedTextAbove = false;
};

#endif
