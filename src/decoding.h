#ifndef CUEFOLD_DECODING_H
#define CUEFOLD_DECODING_H

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// Decodes transcript bytes piece by piece, so that no whole copy of the bytes is held:
// UTF-8, or the UTF-8, UTF-16 or UTF-32 that a byte-order mark names (the mark is dropped).
// Bytes that are not valid in that encoding stop it, and error() tells what and where,
// e.g. "invalid UTF-8 on line 12".
class TranscriptDecoder
{
public:
    // sizeHint: the expected number of bytes, so that the text is allocated once.
    explicit TranscriptDecoder(qsizetype sizeHint = 0);

    bool decode(QByteArrayView bytes); // false once the input has proved invalid
    bool finish(); // false if the input is invalid or ends inside a character
    QString error() const { return m_error; }
    QString takeText();

private:
    enum class Form { Unknown, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

    bool detectForm();
    bool decodeBody(QByteArrayView bytes);
    bool decodeUtf8(const uchar *p, const uchar *end);
    bool decodeUnits(const uchar *p, const uchar *end);
    qsizetype used() const;
    void reserve(qsizetype units);
    void put(char32_t codePoint);
    bool fail();

    static constexpr qsizetype slack = 4;

    QString m_text;
    qsizetype m_bytesSeen = 0;
    char16_t *m_out = nullptr;
    Form m_form = Form::Unknown;
    QByteArray m_head; // the first bytes, until the byte-order mark can be told
    QString m_error;
    QStringDecoder m_latin1{QStringConverter::Latin1};
    // A character cut at the end of the last piece.
    char32_t m_codePoint = 0;
    int m_needed = 0; // UTF-8 continuation bytes still to come
    uchar m_low = 0x80, m_high = 0xBF; // the range the next continuation byte must be in
    int m_unitBytes = 0; // UTF-16 or UTF-32 bytes of the unit so far
    char16_t m_highSurrogate = 0;
};

#endif
