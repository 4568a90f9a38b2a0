#include "decoding.h"

#include <QObject>
#include <QStringDecoder>

#include <cstring>

namespace {

struct Encoding
{
    QStringConverter::Encoding id;
    const char *name;
    QByteArrayView bom;
    int unitSize;
    bool bigEndian;
};

// UTF-32LE comes before UTF-16LE: its mark starts with the UTF-16LE one.
const Encoding encodings[] = {
    {QStringConverter::Utf8, "UTF-8", "\xEF\xBB\xBF", 1, false},
    {QStringConverter::Utf32LE, "UTF-32", QByteArrayView("\xFF\xFE\0\0", 4), 4, false},
    {QStringConverter::Utf32BE, "UTF-32", QByteArrayView("\0\0\xFE\xFF", 4), 4, true},
    {QStringConverter::Utf16LE, "UTF-16", "\xFF\xFE", 2, false},
    {QStringConverter::Utf16BE, "UTF-16", "\xFE\xFF", 2, true},
};

quint32 unitAt(QByteArrayView bytes, qsizetype offset, const Encoding &encoding)
{
    quint32 unit = 0;
    for (int i = 0; i < encoding.unitSize; ++i) {
        const int shift = 8 * (encoding.bigEndian ? encoding.unitSize - 1 - i : i);
        unit |= quint32(quint8(bytes[offset + i])) << shift;
    }
    return unit;
}

// Offset of the first byte that does not belong to a well-formed UTF-8 sequence, or -1.
qsizetype findInvalidUtf8(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const quint8 *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        // Transcripts are mostly ASCII: step over it eight bytes at a time.
        quint64 word;
        while (i + 8 <= size && (std::memcpy(&word, data + i, 8), !(word & 0x8080808080808080u)))
            i += 8;
        if (i == size)
            break;
        const quint8 lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        quint8 low = 0x80, high = 0xBF; // allowed range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            else if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90; // overlong
            else if (lead == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return i;
        }
        if (i + length > size || data[i + 1] < low || data[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k) {
            if ((data[i + k] & 0xC0) != 0x80)
                return i;
        }
        i += length;
    }
    return -1;
}

qsizetype findInvalidUnits(QByteArrayView bytes, const Encoding &encoding)
{
    const int unitSize = encoding.unitSize;
    qsizetype i = 0;
    for (; i + unitSize <= bytes.size(); i += unitSize) {
        const quint32 unit = unitAt(bytes, i, encoding);
        if (unitSize == 4) {
            if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF))
                return i;
        } else if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 4 > bytes.size() || (unitAt(bytes, i + 2, encoding) & 0xFC00) != 0xDC00)
                return i;
            i += 2;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return i;
        }
    }
    return i < bytes.size() ? i : -1;
}

// Line of the unit at `offset`, counting LF, CR LF and a lone CR as one line end each.
qsizetype lineAt(QByteArrayView bytes, qsizetype offset, const Encoding &encoding)
{
    qsizetype line = 1;
    for (qsizetype i = 0; i < offset; i += encoding.unitSize) {
        const quint32 unit = unitAt(bytes, i, encoding);
        const qsizetype next = i + encoding.unitSize;
        if (unit == '\n'
            || (unit == '\r'
                && (next + encoding.unitSize > bytes.size() || unitAt(bytes, next, encoding) != '\n')))
            ++line;
    }
    return line;
}

} // namespace

QString decodeTranscript(QByteArrayView bytes, QString *error)
{
    const Encoding *encoding = &encodings[0];
    for (const Encoding &candidate : encodings) {
        if (bytes.startsWith(candidate.bom)) {
            encoding = &candidate;
            break;
        }
    }
    if (bytes.startsWith(encoding->bom))
        bytes = bytes.sliced(encoding->bom.size());

    const qsizetype invalid = encoding->unitSize == 1 ? findInvalidUtf8(bytes)
                                                      : findInvalidUnits(bytes, *encoding);
    if (invalid >= 0) {
        *error = QObject::tr("invalid %1 on line %2")
                         .arg(QLatin1String(encoding->name))
                         .arg(lineAt(bytes, invalid, *encoding));
        return QString();
    }
    // A later U+FEFF is text (a zero-width no-break space), not a mark to drop.
    QStringDecoder decoder(encoding->id, QStringConverter::Flag::Stateless
                                   | QStringConverter::Flag::ConvertInitialBom);
    return decoder(bytes);
}
