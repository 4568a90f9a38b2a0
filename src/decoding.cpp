#include "decoding.h"

#include <QObject>

#include <cstring>

namespace {

bool isHighSurrogate(char32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool isLowSurrogate(char32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// LF, CR LF and a lone CR each end a line.
qsizetype countLineEnds(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n' || (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            ++count;
    }
    return count;
}

} // namespace

TranscriptDecoder::TranscriptDecoder(qsizetype sizeHint)
{
    if (sizeHint > 0)
        reserve(sizeHint + slack);
}

qsizetype TranscriptDecoder::used() const
{
    return m_text.isEmpty() ? 0 : m_out - reinterpret_cast<const char16_t *>(m_text.constData());
}

QString TranscriptDecoder::takeText()
{
    m_text.truncate(used());
    m_out = nullptr;
    return std::move(m_text);
}

// Room for `units` UTF-16 units in all. The text is kept at its full size, uninitialized
// past m_out, so that decoding writes through a plain pointer.
void TranscriptDecoder::reserve(qsizetype units)
{
    if (m_text.size() >= units)
        return;
    const qsizetype before = used();
    m_text.resize(qMax(units, 2 * m_text.size()));
    m_out = reinterpret_cast<char16_t *>(m_text.data()) + before;
}

void TranscriptDecoder::put(char32_t codePoint)
{
    if (codePoint < 0x10000) {
        *m_out++ = char16_t(codePoint);
    } else {
        *m_out++ = char16_t(0xD7C0 + (codePoint >> 10));
        *m_out++ = char16_t(0xDC00 | (codePoint & 0x3FF));
    }
}

bool TranscriptDecoder::fail()
{
    const bool utf16 = m_form == Form::Utf16LE || m_form == Form::Utf16BE;
    const bool utf32 = m_form == Form::Utf32LE || m_form == Form::Utf32BE;
    m_error = QObject::tr("invalid %1 on line %2")
                      .arg(QLatin1String(utf16 ? "UTF-16" : utf32 ? "UTF-32" : "UTF-8"))
                      .arg(countLineEnds(QStringView(m_text).first(used())) + 1);
    return false;
}

bool TranscriptDecoder::decode(QByteArrayView bytes)
{
    if (!m_error.isEmpty())
        return false;
    if (m_form != Form::Unknown)
        return decodeBody(bytes);
    m_head.append(bytes);
    return m_head.size() < 4 || detectForm();
}

bool TranscriptDecoder::finish()
{
    if (!m_error.isEmpty() || (m_form == Form::Unknown && !detectForm()))
        return false;
    if (m_needed > 0 || m_unitBytes > 0 || m_highSurrogate)
        return fail();
    return true;
}

bool TranscriptDecoder::detectForm()
{
    struct Mark
    {
        QByteArrayView bytes;
        Form form;
    };
    // UTF-32LE comes before UTF-16LE: its mark starts with the UTF-16LE one.
    static const Mark marks[] = {
        {"\xEF\xBB\xBF", Form::Utf8},
        {QByteArrayView("\xFF\xFE\0\0", 4), Form::Utf32LE},
        {QByteArrayView("\0\0\xFE\xFF", 4), Form::Utf32BE},
        {"\xFF\xFE", Form::Utf16LE},
        {"\xFE\xFF", Form::Utf16BE},
    };
    QByteArrayView body = m_head;
    m_form = Form::Utf8;
    for (const Mark &mark : marks) {
        if (body.startsWith(mark.bytes)) {
            m_form = mark.form;
            body = body.sliced(mark.bytes.size());
            break;
        }
    }
    const bool ok = decodeBody(body);
    m_head = QByteArray();
    return ok;
}

bool TranscriptDecoder::decodeBody(QByteArrayView bytes)
{
    // No encoding gives more UTF-16 units than it takes bytes.
    m_bytesSeen += bytes.size();
    reserve(m_bytesSeen + slack);
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    return m_form == Form::Utf8 ? decodeUtf8(p, p + bytes.size()) : decodeUnits(p, p + bytes.size());
}

bool TranscriptDecoder::decodeUtf8(const uchar *p, const uchar *end)
{
    while (p < end) {
        if (m_needed == 0) {
            // Transcripts are mostly ASCII: find the run eight bytes at a time, and widen it
            // with the framework's vectorized Latin-1 decoder.
            const uchar *run = p;
            quint64 word;
            while (end - p >= 8 && (std::memcpy(&word, p, 8), !(word & 0x8080808080808080u)))
                p += 8;
            while (p < end && *p < 0x80)
                ++p;
            if (p != run) {
                const QByteArrayView ascii(run, p - run);
                m_out = reinterpret_cast<char16_t *>(
                        m_latin1.appendToBuffer(reinterpret_cast<QChar *>(m_out), ascii));
            }
            if (p == end)
                break;
            const uchar lead = *p++;
            // The ranges of the well-formed sequences: no overlong forms, no surrogates,
            // nothing above U+10FFFF.
            if (lead >= 0xC2 && lead <= 0xDF) {
                m_needed = 1;
            } else if (lead >= 0xE0 && lead <= 0xEF) {
                m_needed = 2;
                m_low = lead == 0xE0 ? 0xA0 : 0x80;
                m_high = lead == 0xED ? 0x9F : 0xBF;
            } else if (lead >= 0xF0 && lead <= 0xF4) {
                m_needed = 3;
                m_low = lead == 0xF0 ? 0x90 : 0x80;
                m_high = lead == 0xF4 ? 0x8F : 0xBF;
            } else {
                return fail();
            }
            m_codePoint = lead & (0x3F >> m_needed);
            continue;
        }
        const uchar next = *p++;
        if (next < m_low || next > m_high)
            return fail();
        m_codePoint = (m_codePoint << 6) | (next & 0x3F);
        m_low = 0x80;
        m_high = 0xBF;
        if (--m_needed == 0)
            put(m_codePoint);
    }
    return true;
}

bool TranscriptDecoder::decodeUnits(const uchar *p, const uchar *end)
{
    const bool bigEndian = m_form == Form::Utf16BE || m_form == Form::Utf32BE;
    const int unitSize = m_form == Form::Utf16LE || m_form == Form::Utf16BE ? 2 : 4;
    for (; p < end; ++p) {
        const int shift = 8 * (bigEndian ? unitSize - 1 - m_unitBytes : m_unitBytes);
        m_codePoint |= char32_t(*p) << shift;
        if (++m_unitBytes < unitSize)
            continue;
        const char32_t unit = m_codePoint;
        m_codePoint = 0;
        m_unitBytes = 0;
        if (unitSize == 4) {
            if (unit > 0x10FFFF || isHighSurrogate(unit) || isLowSurrogate(unit))
                return fail();
            put(unit);
        } else if (m_highSurrogate) {
            if (!isLowSurrogate(unit))
                return fail();
            *m_out++ = m_highSurrogate;
            *m_out++ = char16_t(unit);
            m_highSurrogate = 0;
        } else if (isHighSurrogate(unit)) {
            m_highSurrogate = char16_t(unit);
        } else if (isLowSurrogate(unit)) {
            return fail();
        } else {
            *m_out++ = char16_t(unit);
        }
    }
    return true;
}
