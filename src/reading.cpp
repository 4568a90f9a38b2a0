// The read loop.
#include "reading.h"

#include "decoding.h"
#include "speakers.h"
#include "transcript.h"

#include <QIODevice>
#include <QObject>
#include <QTemporaryFile>

#include <cstring>

namespace {

// Room for a character cut by the end of a read, carried into the next.
constexpr qsizetype longestCharacter = 8;

// The loop for the converter and for the scan ahead, which take text alike.
template<typename Reader>
bool readText(QIODevice &input, Reader &converter, QString *error, const QString &encoding,
              qsizetype pieceSize)
{
    QByteArray buffer(pieceSize + longestCharacter, Qt::Uninitialized);
    TranscriptDecoder decoder(encoding);
    qsizetype kept = 0;
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
        const bool going = converter.feed(text);
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
