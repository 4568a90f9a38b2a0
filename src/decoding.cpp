// Transcript bytes to checked UTF-8.
#include "decoding.h"

#include "text.h"

#include <QStringEncoder>
#include <QtAlgorithms>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

bool isSurrogate(char32_t u)
{
    return u >= 0xD800 && u <= 0xDFFF;
}

// The end of the whole, valid characters at the start of [p, end): end itself, a character cut
// at end, or the first byte of an invalid sequence (then *invalid is set). *control is set to
// the first C1 control character, if it is still null.
const uchar *validUtf8(const uchar *p, const uchar *end, bool *invalid, const uchar **control)
{
    while (p < end) {
        // Transcripts are mostly ASCII: skip it 32 bytes at a time, straight to the first byte
        // that is not.
        while (end - p >= 32) {
            quint64 words[4];
            std::memcpy(words, p, 32);
            if (!((words[0] | words[1] | words[2] | words[3]) & 0x8080808080808080u)) {
                p += 32;
                continue;
            }
            for (quint64 word : words) {
                word = qFromLittleEndian(word) & 0x8080808080808080u;
                if (word) {
                    p += qCountTrailingZeroBits(word) / 8;
                    break;
                }
                p += 8;
            }
            break;
        }
        if (p == end)
            break;
        const uchar lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        // The ranges of the well-formed sequences: no overlong forms, no surrogates, nothing
        // above U+10FFFF.
        int needed;
        uchar low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
            if (lead == 0xC2 && p + 1 < end && p[1] >= 0x80 && p[1] <= 0x9F && !*control)
                *control = p;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            needed = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            needed = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            *invalid = true;
            return p;
        }
        for (int i = 1; i <= needed; ++i) {
            if (p + i == end)
                return p;
            if (p[i] < low || p[i] > high) {
                *invalid = true;
                return p;
            }
            low = 0x80;
            high = 0xBF;
        }
        p += needed + 1;
    }
    return p;
}

void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        const char bytes[] = {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        out.append(bytes, 2);
    } else if (c < 0x10000) {
        const char bytes[]
                = {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        out.append(bytes, 3);
    } else {
        const char bytes[] = {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)),
                              char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        out.append(bytes, 4);
    }
}

// Unmarked UTF-16 or UTF-32 has zeros between the characters: the top byte of every UTF-32
// unit, and in UTF-16 the other byte of every ASCII character, line ends and digits included.
// The form whose zeros the start of the input shows, if any.
QString zeroPattern(QByteArrayView start)
{
    std::array<qsizetype, 4> zeros{};
    const qsizetype units = start.size() / 4;
    for (qsizetype i = 0; i < units * 4; ++i)
        zeros[i % 4] += start[i] == 0;
    if (units == 0)
        return QString();
    // Zeros alone are no characters at all.
    if (zeros[0] < units && zeros[1] > 0 && zeros[2] == units && zeros[3] == units)
        return u"UTF-32LE"_s;
    if (zeros[3] < units && zeros[2] > 0 && zeros[0] == units && zeros[1] == units)
        return u"UTF-32BE"_s;
    // A few characters of other scripts have a zero byte of their own (U+4E00 is 00 4E), at the
    // other place; padding has zeros at both alike.
    constexpr qsizetype dominance = 3;
    const qsizetype odd = zeros[1] + zeros[3];
    const qsizetype even = zeros[0] + zeros[2];
    if (odd >= 2 && odd > dominance * even)
        return u"UTF-16LE"_s;
    if (even >= 2 && even > dominance * odd)
        return u"UTF-16BE"_s;
    return QString();
}

// Where the first C1 control character starts in UTF-8 text, or -1.
qsizetype findC1Control(QByteArrayView text)
{
    if (text.isEmpty())
        return -1;
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    for (const char *p = findByte(begin, end, '\xC2'); p + 1 < end;
         p = findByte(p + 1, end, '\xC2')) {
        if (uchar(p[1]) <= 0x9F)
            return p - begin;
    }
    return -1;
}

} // namespace

TranscriptDecoder::TranscriptDecoder() = default;

TranscriptDecoder::TranscriptDecoder(const QString &encoding)
    : m_named(encoding.isEmpty() ? nullptr
                                 : new QStringDecoder(encoding.toLatin1().constData(),
                                                      QStringConverter::Flag::ConvertInvalidToNull))
{
}

TranscriptDecoder::~TranscriptDecoder() = default;

QString TranscriptDecoder::encoding() const
{
    switch (m_form) {
    case Form::Utf16LE:
    case Form::Utf16BE:
        return u"UTF-16"_s;
    case Form::Utf32LE:
    case Form::Utf32BE:
        return u"UTF-32"_s;
    case Form::Named:
        return QString::fromLatin1(m_named->name());
    default:
        return u"UTF-8"_s;
    }
}

qsizetype TranscriptDecoder::decode(QByteArrayView bytes, bool last, QByteArrayView *text)
{
    *text = QByteArrayView();
    qsizetype mark = 0;
    if (m_form == Form::Unknown) {
        if (bytes.size() < formWindow && !last)
            return 0;
        struct Mark
        {
            QByteArrayView bytes;
            Form form;
        };
        // UTF-32LE comes before UTF-16LE: its mark starts with the UTF-16LE one.
        static const Mark marks[] = {
            {utf8Mark, Form::Utf8},
            {QByteArrayView("\xFF\xFE\0\0", 4), Form::Utf32LE},
            {QByteArrayView("\0\0\xFE\xFF", 4), Form::Utf32BE},
            {"\xFF\xFE", Form::Utf16LE},
            {"\xFE\xFF", Form::Utf16BE},
        };
        m_form = m_named ? Form::Named : Form::Utf8;
        for (const Mark &candidate : marks) {
            if (bytes.startsWith(candidate.bytes)) {
                m_form = candidate.form;
                mark = candidate.bytes.size();
                break;
            }
        }
        if (m_form == Form::Utf8 && bytes.size() >= 4) {
            m_lookalike = zeroPattern(bytes.first(qMin(bytes.size(), formWindow)));
            if (!m_lookalike.isEmpty())
                return -1;
        }
    }

    const auto *begin = reinterpret_cast<const uchar *>(bytes.data()) + mark;
    const auto *end = reinterpret_cast<const uchar *>(bytes.data()) + bytes.size();
    bool invalid = false;
    qsizetype used;
    m_control = -1;
    if (m_form == Form::Utf8) {
        const uchar *control = nullptr;
        used = validUtf8(begin, end, &invalid, &control) - begin;
        *text = QByteArrayView(begin, used);
        if (control && control < begin + used)
            m_control = control - begin;
    } else {
        used = m_form == Form::Named ? decodeNamed(bytes.sliced(mark), last, &invalid)
                                     : decodeUnits(begin, end, &invalid);
        *text = m_buffer;
        m_control = findC1Control(m_buffer);
    }
    // A character cut by the end of the input is as invalid as any other fault.
    if (invalid || (last && begin + used != end))
        return -1;
    return mark + used;
}

qsizetype TranscriptDecoder::decodeUnits(const uchar *begin, const uchar *end, bool *invalid)
{
    const bool bigEndian = m_form == Form::Utf16BE || m_form == Form::Utf32BE;
    const int unitSize = m_form == Form::Utf16LE || m_form == Form::Utf16BE ? 2 : 4;
    const auto unitAt = [&](const uchar *p) {
        char32_t unit = 0;
        for (int i = 0; i < unitSize; ++i)
            unit |= char32_t(p[i]) << 8 * (bigEndian ? unitSize - 1 - i : i);
        return unit;
    };
    // Kept between pieces: clear() would give the memory back every time.
    m_buffer.resize(0);
    m_buffer.reserve(2 * (end - begin));
    const uchar *p = begin;
    while (end - p >= unitSize) {
        char32_t c = unitAt(p);
        qsizetype length = unitSize;
        if (unitSize == 2 && c >= 0xD800 && c <= 0xDBFF) {
            if (end - p < 4)
                break;
            const char32_t low = unitAt(p + 2);
            if (low < 0xDC00 || low > 0xDFFF) {
                *invalid = true;
                break;
            }
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            length = 4;
        } else if (isSurrogate(c) || c > 0x10FFFF) {
            *invalid = true;
            break;
        }
        appendUtf8(m_buffer, c);
        p += length;
    }
    return p - begin;
}

// The framework's decoder keeps a character cut by the end of a piece itself, and marks what it
// cannot read with U+0000, which no transcript holds (U+FFFD and U+001A, which it marks with by
// default, a text may well hold): the text before the first of those is good. It never tells
// of a character cut by the end of the input; a line end after it does.
qsizetype TranscriptDecoder::decodeNamed(QByteArrayView bytes, bool last, bool *invalid)
{
    QString text = m_named->decode(bytes);
    if (last && !m_named->hasError()) {
        const QByteArray lineEnd = QStringEncoder(m_named->name()).encode(u"\n");
        *invalid = QString(m_named->decode(lineEnd)) != u"\n" || m_named->hasError();
    }
    if (m_named->hasError()) {
        *invalid = true;
        if (const qsizetype fault = text.indexOf(QChar::Null); fault >= 0)
            text.truncate(fault);
    }
    m_buffer = text.toUtf8();
    return bytes.size();
}
