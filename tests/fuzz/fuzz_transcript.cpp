// libFuzzer target: any bytes, read in pieces of a size the input picks, must be refused exactly
// when Qt's own decoder refuses them, and must otherwise convert into the very document that a
// plain, regular-expression account of the format gives.
#include "reading.h"
#include "transcript.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

QString timestamp(const QString &timecode)
{
    const QStringList f = timecode.split(u':');
    const qint64 ms = ((f[0].toInt() * 60 + f[1].toInt()) * 60 + f[2].toInt()) * qint64(1000) + f[3].toInt() * 40;
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

QString reference(const QString &transcript)
{
    static const QRegularExpression timing(QStringLiteral(R"((\d{2}:\d{2}:\d{2}:\d{2})\s*-\s*(\d{2}:\d{2}:\d{2}:\d{2}))"));
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QString document = u"WEBVTT\n\n"_qs;
    QString pending;
    QStringList text;
    const auto emitCue = [&] {
        if (!pending.isEmpty() && !text.isEmpty())
            document += pending + u"\n<v Speaker>"_qs + text.join(u' ').replace(u"-->"_qs, u"--&gt;"_qs) + u"\n\n"_qs;
        text.clear();
    };
    for (const QString &line : transcript.split(lineEnd)) {
        const QRegularExpressionMatch match = timing.match(line);
        if (match.hasMatch()) {
            emitCue();
            pending = timestamp(match.captured(1)) + u" --> "_qs + timestamp(match.captured(2));
        } else if (!line.trimmed().isEmpty()) {
            text.append(line.trimmed());
        }
    }
    emitCue();
    return document;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray document;
    TranscriptConverter converter(ConversionOptions(), [&document](QByteArrayView piece) {
        document += piece;
        return true;
    });
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    QString error;
    const qsizetype pieceSize = bytes.isEmpty() ? 1 : 1 + quint8(bytes[0]) % 16;
    const bool valid = readTranscript(input, converter, &error, pieceSize);

    const bool marked = bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFE\xFF")
            || bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
    if (marked)
        return 0;
    QStringDecoder qtDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = qtDecoder(bytes);
    require(valid == !qtDecoder.hasError(), "validity differs from Qt's");
    require(!valid || QString::fromUtf8(document) == reference(text), "document differs from the reference");
    return 0;
}
