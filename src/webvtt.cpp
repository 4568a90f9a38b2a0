// The WebVTT document as cuefold writes it.
#include "webvtt.h"

#include "text.h"
#include "timecode.h"

#include <algorithm>

namespace {

constexpr QByteArrayView signature("WEBVTT");

} // namespace

bool hasWebVttSignature(QByteArrayView head)
{
    if (head.startsWith(utf8Mark))
        head = head.sliced(utf8Mark.size());
    return head.startsWith(signature)
            && (head.size() == signature.size()
                || QByteArrayView(" \t\r\n").contains(head[signature.size()]));
}

char *writeCueTiming(char *out, qint64 start, qint64 end)
{
    out = writeTimestamp(out, start);
    out = std::copy_n(timingArrow.data(), timingArrow.size(), out);
    return writeTimestamp(out, end);
}

QByteArrayView escapeArrows(QByteArrayView text, QByteArray &storage)
{
    storage = text.toByteArray().replace("-->", "--&gt;");
    return storage;
}

DocumentWriter::DocumentWriter(Output output) : m_output(std::move(output))
{
    m_buffer.resize(ioPieceSize);
    m_next = m_buffer.data();
    m_end = m_next + m_buffer.size();
    put("WEBVTT\n\n");
}

void DocumentWriter::startCue(qint64 start, qint64 end)
{
    char timing[maxTimingLength];
    startCue(QByteArrayView(timing, writeCueTiming(timing, start, end) - timing));
}

// False when `bytes` went out whole, straight past the buffer.
bool DocumentWriter::makeRoom(QByteArrayView bytes)
{
    flush();
    if (bytes.size() <= m_end - m_next)
        return true;
    send(bytes);
    return false;
}

void DocumentWriter::flush()
{
    send(QByteArrayView(m_buffer.constData(), m_next - m_buffer.constData()));
    m_next = m_buffer.data();
}

void DocumentWriter::send(QByteArrayView bytes)
{
    if (!m_failed && !m_output(bytes))
        m_failed = true;
}
