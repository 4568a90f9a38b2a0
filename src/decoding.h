// The decoder: transcript bytes in, checked UTF-8 out.
#ifndef CUEFOLD_DECODING_H
#define CUEFOLD_DECODING_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <memory>

// How much of an unmarked input the decoder reads before it takes it for UTF-8: enough to see
// the zeros of UTF-16 past a first line in a script that has few.
inline constexpr qsizetype formWindow = 256;

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
    // The UTF-16 or UTF-32 form that unmarked input looked like when decode() refused it for
    // that; empty when it refused it for an invalid sequence.
    QString lookalike() const { return m_lookalike; }
    // Where the first C1 control character (U+0080 to U+009F) of the text last decoded starts,
    // or -1. No one types them; text read in the wrong 8-bit encoding has them, as
    // windows-1252's curly quotes and dashes read as ISO-8859-1.
    qsizetype controlAt() const { return m_control; }

private:
    enum class Form { Unknown, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE, Named };

    qsizetype decodeUnits(const uchar *begin, const uchar *end, bool *invalid);
    qsizetype decodeNamed(QByteArrayView bytes, bool last, bool *invalid);

    Form m_form = Form::Unknown;
    QString m_lookalike;
    qsizetype m_control = -1;
    std::unique_ptr<QStringDecoder> m_named; // --encoding
    QByteArray m_buffer; // UTF-8 made from another encoding
};

#endif
