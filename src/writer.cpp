// The document's bytes on their way out.
#include "writer.h"

DocumentWriter::DocumentWriter(Output output) : m_output(std::move(output))
{
    m_buffer.resize(ioPieceSize);
    m_next = m_buffer.data();
    m_end = m_next + m_buffer.size();
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
