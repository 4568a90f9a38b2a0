// libFuzzer target: any bytes, decoded as a reader would, must convert into a document made
// only of well-formed cue blocks that keeps every line of text.
#include "decoding.h"
#include "transcript.h"

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

const QRegularExpression timingPattern(
        QStringLiteral(R"((\d{2}:\d{2}:\d{2}:\d{2})\s*-\s*(\d{2}:\d{2}:\d{2}:\d{2}))"));
const QRegularExpression cueTiming(QStringLiteral(
        R"(^\d{2,}:[0-5]\d:[0-5]\d\.\d{3} --> \d{2,}:[0-5]\d:[0-5]\d\.\d{3}$)"));
const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));

QString decode(QByteArrayView bytes, bool *valid)
{
    // Cut the input in two at a place the input itself picks, as reads would.
    const qsizetype cut = bytes.isEmpty() ? 0 : quint8(bytes[0]) % (bytes.size() + 1);
    TranscriptDecoder decoder(bytes.size());
    decoder.decode(bytes.first(cut));
    decoder.decode(bytes.sliced(cut));
    *valid = decoder.finish();
    const QString text = *valid ? decoder.takeText() : QString();

    // Without a byte-order mark, the decoder must agree with Qt's own UTF-8 decoder.
    const bool marked = bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFE\xFF")
            || bytes.startsWith("\xFF\xFE") || bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4));
    if (!marked) {
        QStringDecoder qtDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString viaQt = qtDecoder(bytes);
        require(*valid == !qtDecoder.hasError(), "validity differs from Qt's");
        require(!*valid || viaQt == text, "text differs from Qt's");
    }
    return *valid ? text : QString::fromUtf8(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    bool valid = false;
    const QString transcript = decode(QByteArrayView(data, qsizetype(size)), &valid);
    const QString document = convertTranscript(transcript);

    require(document.startsWith(u"WEBVTT\n\n"), "header");
    const QStringList documentLines = document.sliced(8).split(u'\n');
    require(documentLines.size() % 3 == 1 && documentLines.last().isEmpty(), "block layout");
    const qsizetype cues = documentLines.size() / 3;
    for (qsizetype i = 0; i < cues; ++i) {
        require(cueTiming.match(documentLines[3 * i]).hasMatch(), "cue timing");
        const QString &text = documentLines[3 * i + 1];
        require(text.startsWith(u"<v Speaker>") && text.size() > 11, "cue text");
        require(!text.contains(u'\r') && !text.contains(u"-->"), "line break or arrow in text");
        require(documentLines[3 * i + 2].isEmpty(), "empty line after cue");
    }

    qsizetype timingLines = 0;
    qsizetype from = 0;
    for (const QString &line : transcript.split(lineEnd)) {
        if (timingPattern.match(line).hasMatch()) {
            ++timingLines;
            continue;
        }
        const QString text = line.trimmed();
        if (timingLines == 0 || text.isEmpty())
            continue;
        // Every text line under a timing line is kept, in order, its arrows escaped.
        QString escaped = text;
        escaped.replace(u"-->"_qs, u"--&gt;"_qs);
        from = document.indexOf(escaped, from);
        require(from >= 0, "a text line is missing");
        from += escaped.size();
    }
    require(cues <= timingLines, "more cues than timing lines");
    return 0;
}
