// The document's bytes on their way out: buffered, so that the output sees large pieces, and
// stopped at the first failed write.
#ifndef CUEFOLD_WRITER_H
#define CUEFOLD_WRITER_H

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <functional>

// Reads and writes go in pieces this size: below malloc's mmap threshold, which matters for
// start-up, and large enough that system calls do not show.
inline constexpr qsizetype ioPieceSize = 1 << 16;

class DocumentWriter
{
public:
    using Output = std::function<bool(QByteArrayView)>; // false once a write has failed

    explicit DocumentWriter(Output output);
    DocumentWriter(const DocumentWriter &) = delete;
    DocumentWriter &operator=(const DocumentWriter &) = delete;

    void write(QByteArrayView bytes)
    {
        if (bytes.isEmpty()) // a null view has no address for memcpy
            return;
        if (bytes.size() > m_end - m_next && !makeRoom(bytes))
            return;
        std::memcpy(m_next, bytes.data(), size_t(bytes.size()));
        m_next += bytes.size();
    }
    // A separator and then `bytes`, with one test for room: text lines are joined so.
    void write(char separator, QByteArrayView bytes)
    {
        if (bytes.isEmpty() || bytes.size() >= m_end - m_next) {
            write(QByteArrayView(&separator, 1));
            write(bytes);
            return;
        }
        *m_next++ = separator;
        std::memcpy(m_next, bytes.data(), size_t(bytes.size()));
        m_next += bytes.size();
    }
    // Room for `size` bytes at most (no more than ioPieceSize), to be written straight into
    // the buffer and then passed with advance().
    char *reserve(qsizetype size)
    {
        if (size > m_end - m_next)
            flush();
        return m_next;
    }
    void advance(char *end) { m_next = end; }
    void flush();
    bool failed() const { return m_failed; }

private:
    bool makeRoom(QByteArrayView bytes);
    void send(QByteArrayView bytes);

    Output m_output;
    QByteArray m_buffer;
    char *m_next = nullptr; // where the next byte goes
    char *m_end = nullptr;
    bool m_failed = false;
};

#endif
