// The WebVTT document as cuefold writes it: the header, one block per cue (timing, voice, text,
// empty line), the one escape cue text needs, and the signature that marks a file as a
// document. The writer buffers, so that its output sees large pieces.
#ifndef CUEFOLD_WEBVTT_H
#define CUEFOLD_WEBVTT_H

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <functional>

// Reads and writes go in pieces this size: below malloc's mmap threshold, which matters for
// start-up, and large enough that system calls do not show.
inline constexpr qsizetype ioPieceSize = 1 << 16;

// Whether a file starting with `head` is a WebVTT document: the signature, after an optional
// byte-order mark, then the end, a space, a tab or a line end.
bool hasWebVttSignature(QByteArrayView head);

// "start --> end" from milliseconds, at most maxTimingLength bytes; returns the end.
inline constexpr QByteArrayView timingArrow(" --> ");
inline constexpr qsizetype maxTimingLength = 64;
char *writeCueTiming(char *out, qint64 start, qint64 end);

QByteArrayView escapeArrows(QByteArrayView text, QByteArray &storage);

// A reader takes any line holding "-->" for a timing line, so the arrow's '>' is escaped.
// Returns `text` itself when it needs no escape, else the escaped copy in `storage`. Lines
// with a '>' are rare enough to pay for a copy.
inline QByteArrayView escapeCueText(QByteArrayView text, QByteArray &storage)
{
    return std::memchr(text.data(), '>', size_t(text.size())) ? escapeArrows(text, storage) : text;
}

class DocumentWriter
{
public:
    using Output = std::function<bool(QByteArrayView)>; // false once a write has failed

    explicit DocumentWriter(Output output); // writes the header
    DocumentWriter(const DocumentWriter &) = delete;
    DocumentWriter &operator=(const DocumentWriter &) = delete;

    void startCue(QByteArrayView timing) // "start --> end"
    {
        put(timing);
        put("\n");
    }
    void startCue(qint64 start, qint64 end); // milliseconds
    void write(QByteArrayView text)
    {
        if (!text.isEmpty()) // a null view has no address for memcpy
            put(text);
    }
    void endCue() { put("\n\n"); }
    void flush();
    bool failed() const { return m_failed; }

private:
    void put(QByteArrayView bytes)
    {
        if (bytes.size() > m_end - m_next && !makeRoom(bytes))
            return;
        std::memcpy(m_next, bytes.data(), size_t(bytes.size()));
        m_next += bytes.size();
    }
    bool makeRoom(QByteArrayView bytes);
    void send(QByteArrayView bytes);

    Output m_output;
    QByteArray m_buffer;
    char *m_next = nullptr; // where the next byte goes
    char *m_end = nullptr;
    bool m_failed = false;
};

#endif
