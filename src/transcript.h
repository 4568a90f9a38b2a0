#ifndef CUEFOLD_TRANSCRIPT_H
#define CUEFOLD_TRANSCRIPT_H

#include "timecode.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Turns a transcript of HH:MM:SS:FF timing lines and text lines into a WebVTT document, with
// the default options.
QString convertTranscript(const QString &transcript);

struct ConversionOptions
{
    FrameRate rate;
    bool startAuto = false;
    std::optional<Timecode> start; // the video's first frame
    int maxChars = 0; // 0: passages are not split
    int maxLines = 0;
    bool check = false; // report what may be wrong
    bool strict = false; // the entry refuses a document with any warning
};

// Reads the conversion options in `arguments` ("--fps", "29.97", "--check", ...). Returns an
// error message for a value out of its range, or an empty string.
QString parseConversionOptions(const QStringList &arguments, ConversionOptions *options);

// Converts UTF-8 text fed in pieces cut anywhere, writing the document as it is made. It holds
// only the line at hand (and, when splitting, the passage at hand).
class TranscriptConverter
{
public:
    using Output = std::function<bool(QByteArrayView)>; // false once a write has failed
    using Report = std::function<void(qint64 line, const QString &message)>;

    TranscriptConverter(const ConversionOptions &options, Output output, Report report = {});
    TranscriptConverter(const TranscriptConverter &) = delete;
    TranscriptConverter &operator=(const TranscriptConverter &) = delete;

    void feed(QByteArrayView text);
    void finish();

    qint64 lineNumber() const { return m_line + 1; } // the line the next byte belongs to
    bool foundTiming() const { return m_foundTiming; }
    bool outputFailed() const { return m_outputFailed; }

private:
    struct Passage
    {
        Passage() {} // leaves `timing` as it is: it is written before it is read
        qint64 line = 0;
        qint64 start = 0; // milliseconds
        qint64 end = 0;
        bool dropped = false; // ends before the video's first frame
        bool clipped = false; // starts before it
        bool hasText = false;
        qsizetype visible = 0;
        char timing[64]; // "start --> end"
        qsizetype timingLength = 0;
    };

    const char *endLine(const char *p, const char *end);
    void takeLine(const char *begin, const char *end);
    void takeTiming(const char *timing, qsizetype length);
    void takeText(const char *begin, const char *end);
    void closePassage();
    void closePassage(const Passage &passage);
    void checkCue(qint64 line, qint64 start, qint64 end, qsizetype visible);
    void checkNearTiming(const char *begin, const char *end);
    void shortenDroppedLine();
    void put(QByteArrayView bytes);
    void putBytes(QByteArrayView bytes);
    void putCueTiming(qint64 start, qint64 end);
    void flush();
    void warn(qint64 line, const QString &message);

    ConversionOptions m_options;
    Output m_output;
    Report m_report;
    bool m_plain; // 25 frames a second, as written: the times are needed as text only
    QByteArray m_out; // the document's next bytes, up to m_put
    char *m_put = nullptr;
    char *m_outEnd = nullptr;
    QByteArray m_carry; // a line cut by the end of a piece
    QByteArray m_passageText; // when splitting or dropping, the passage's text so far
    std::optional<Passage> m_passage;
    std::optional<qint64> m_startFrame;
    qint64 m_line = 0; // lines ended so far
    qint64 m_previousEnd = -1;
    bool m_skipLineFeed = false; // the last piece ended in CR
    bool m_foundTiming = false;
    bool m_carryHasText = false;
    bool m_reportedTextAbove = false;
    bool m_outputFailed = false;
};

#endif
