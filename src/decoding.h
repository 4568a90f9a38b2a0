// The decoder: transcript bytes in, checked UTF-8 out.
#ifndef CUEFOLD_DECODING_H
#define CUEFOLD_DECODING_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <memory>

// Turns transcript bytes into checked UTF-8 piece by piece: UTF-8 (or the encoding named with
// --encoding), or the UTF-8, UTF-16 or UTF-32 that a byte-order mark names (the mark is
// dropped, and wins over a name). UTF-8 passes through uncopied.
class TranscriptDecoder
{
public:
    TranscriptDecoder();
    // Bytes without a byte-order mark are in `encoding`, which the framework knows by name.
    explicit TranscriptDecoder(const QString &encoding);
    ~TranscriptDecoder();

    // Decodes the input's next bytes; `last` says no more follow. `text` receives the UTF-8 of
    // the whole characters among them. Returns how many bytes were used (the rest, a character
    // cut at the end, must lead the next call), or -1 when the input is not valid in its
    // encoding: `text` then holds what came before the fault.
    qsizetype decode(QByteArrayView bytes, bool last, QByteArrayView *text);
    QString encoding() const;

private:
    enum class Form { Unknown, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Named };

    qsizetype decodeUnits(const uchar *begin, const uchar *end, bool *invalid);
    qsizetype decodeNamed(QByteArrayView bytes, bool *invalid);

    Form m_form = Form::Unknown;
    std::unique_ptr<QStringDecoder> m_named; // --encoding
    QByteArray m_buffer; // UTF-8 made from another encoding
};

#endif
