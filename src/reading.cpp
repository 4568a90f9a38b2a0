// The read loop.
#include "reading.h"

#include "decoding.h"
#include "transcript.h"

#include <QIODevice>
#include <QObject>

#include <cstring>

namespace {

// Room for a character cut by the end of a read, carried into the next.
constexpr qsizetype longestCharacter = 8;

} // namespace

bool readTranscript(QIODevice &input, TranscriptConverter &converter, QString *error,
                    const QString &encoding, qsizetype pieceSize)
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
        const qsizetype used = decoder.decode(QByteArrayView(buffer.constData(), available),
                                              length == 0, &text);
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
