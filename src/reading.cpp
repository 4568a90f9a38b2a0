// The read loop.
#include "reading.h"

#include "decoding.h"
#include "speakers.h"
#include "transcript.h"

#include <QIODevice>
#include <QObject>
#include <QTemporaryFile>

#include <cstring>
#include <type_traits>

namespace {

// Room for what the decoder leaves for the next read: a character cut by the end of a read, or
// the start of the input until it has seen its form.
constexpr qsizetype longestCharacter = 8;
constexpr qsizetype heldBack = qMax(longestCharacter, formWindow);

// The loop for the converter and for the scan ahead, which take text alike.
template<typename Reader>
bool readText(QIODevice &input, Reader &converter, QString *error, const QString &encoding,
              qsizetype pieceSize)
{
    QByteArray buffer(pieceSize + heldBack, Qt::Uninitialized);
    TranscriptDecoder decoder(encoding);
    qsizetype kept = 0;
    bool controlSeen = false;
    for (;;) {
        const qint64 length = input.read(buffer.data() + kept, pieceSize);
        if (length < 0) {
            *error = input.errorString();
            return false;
        }
        const qsizetype available = kept + length;
        QByteArrayView text;
        const qsizetype used
                = decoder.decode(QByteArrayView(buffer.constData(), available), length == 0, &text);
        if constexpr (std::is_same_v<Reader, TranscriptConverter>) {
            // Told at its line, once a file: the text before it goes first.
            const qsizetype control = controlSeen ? -1 : decoder.controlAt();
            if (control >= 0) {
                controlSeen = true;
                converter.feed(text.first(control));
                converter.diagnostics().controlCharacter(
                        converter.lineNumber(), text.sliced(control, 2), decoder.encoding());
                text = text.sliced(control);
            }
        }
        const bool going = converter.feed(text);
        if (!decoder.lookalike().isEmpty()) {
            *error = QObject::tr("the file looks like %1 without a byte-order mark (zero bytes "
                                 "between the characters); name it with --encoding %1")
                             .arg(decoder.lookalike());
            return false;
        }
        if (used < 0) {
            *error = QObject::tr("invalid %1 on line %2")
                             .arg(decoder.encoding())
                             .arg(converter.lineNumber());
            // Editors on some systems still save in a legacy encoding by default.
            if (encoding.isEmpty() && decoder.encoding() == u"UTF-8")
                *error += QObject::tr("; if the file is in another encoding, name it with "
                                      "--encoding (for example --encoding windows-1252)");
            return false;
        }
        if (length == 0 || !going)
            break;
        kept = available - used;
        std::memmove(buffer.data(), buffer.constData() + used, size_t(kept));
    }
    converter.finish();
    return true;
}

} // namespace

bool readTranscript(QIODevice &input, TranscriptConverter &converter, QString *error,
                    const QString &encoding, qsizetype pieceSize)
{
    return readText(input, converter, error, encoding, pieceSize);
}

bool readTranscript(QIODevice &input, SpeakerScan &scan, QString *error, const QString &encoding,
                    qsizetype pieceSize)
{
    return readText(input, scan, error, encoding, pieceSize);
}

bool readSpeakers(QIODevice &input, QTemporaryFile &copy, QIODevice **again, Speakers *speakers,
                  QString *error, const QString &encoding, qsizetype pieceSize)
{
    *again = &input;
    if (input.isSequential()) {
        if (!copy.open()) {
            *error = copy.errorString();
            return false;
        }
        QByteArray piece(ioPieceSize, Qt::Uninitialized);
        qint64 length;
        while ((length = input.read(piece.data(), piece.size())) > 0) {
            if (copy.write(piece.constData(), length) != length) {
                *error = copy.errorString();
                return false;
            }
        }
        if (length < 0) {
            *error = input.errorString();
            return false;
        }
        *again = &copy;
    }
    QIODevice &source = **again;
    const qint64 from = &source == &copy ? 0 : source.pos();
    SpeakerScan scan;
    if (!source.seek(from) || !readTranscript(source, scan, error, encoding, pieceSize)
        || !source.seek(from)) {
        if (error->isEmpty())
            *error = source.errorString();
        return false;
    }
    *speakers = scan.speakers();
    return true;
}
