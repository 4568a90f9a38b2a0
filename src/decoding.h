// The decoder: transcript bytes in, checked UTF-8 out.
#ifndef CUEFOLD_DECODING_H
#define CUEFOLD_DECODING_H

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>

// Turns transcript bytes into checked UTF-8 piece by piece: UTF-8, or the UTF-8, UTF-16 or
// UTF-32 that a byte-order mark names (the mark is dropped). UTF-8 passes through uncopied.
class TranscriptDecoder
{
public:
    // Decodes the input's next bytes; `last` says no more follow. `text` receives the UTF-8 of
    // the whole characters among them. Returns how many bytes were used (the rest, a character
    // cut at the end, must lead the next call), or -1 when the input is not valid in its
    // encoding: `text` then holds what came before the fault.
    qsizetype decode(QByteArrayView bytes, bool last, QByteArrayView *text);
    QLatin1StringView encoding() const;

private:
    enum class Form { Unknown, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

    qsizetype decodeUnits(const uchar *begin, const uchar *end, bool *invalid);

    Form m_form = Form::Unknown;
    QByteArray m_buffer; // UTF-8 made from UTF-16 or UTF-32
};

#endif
