// libFuzzer target: any bytes, read in pieces of a size the input picks, must be refused exactly
// when Qt's own decoder refuses them, and must otherwise convert into the very document that a
// plain, regular-expression account of the format gives. An input that starts with \x01 picks
// the options in its next nine bytes; whatever they are, the document must be well formed, and
// a split one must share each passage's time and words out among its cues.
#include "markup.h"
#include "options.h"
#include "reading.h"
#include "transcript.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

// Split cues may end where they start: when a passage of a frame or two is cut into more cues
// than it has milliseconds, and when a passage starts with a lone end tag ("</i> ..."), which
// becomes a cue of its own with nothing to show. Off until that is fixed, so that the fuzzer
// keeps looking past it.
#define CHECK_SPLIT_DURATIONS 0

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
    const qint64 ms = ((f[0].toInt() * 60 + f[1].toInt()) * 60 + f[2].toInt()) * qint64(1000)
            + f[3].toInt() * 40;
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                             ms / 1000 % 60, ms % 1000);
}

const QString timingPattern = QStringLiteral(
        R"((\d{2}:\d{2}:\d{2}(%1)\d{2})\s*-\s*(\d{2}:\d{2}:\d{2}\2\d{2}))");
const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));

QString reference(const QString &transcript)
{
    static const QRegularExpression timing(timingPattern.arg(u":"_qs));
    QString document = u"WEBVTT\n\n"_qs;
    QString pending;
    QStringList text;
    const auto emitCue = [&] {
        if (!pending.isEmpty() && !text.isEmpty())
            document += pending + u"\n<v Speaker>"_qs
                    + text.join(u' ').replace(u"-->"_qs, u"--&gt;"_qs) + u"\n\n"_qs;
        text.clear();
    };
    for (const QString &line : transcript.split(lineEnd)) {
        const QRegularExpressionMatch match = timing.match(line);
        if (match.hasMatch()) {
            emitCue();
            pending = timestamp(match.captured(1)) + u" --> "_qs + timestamp(match.captured(3));
        } else if (!line.trimmed().isEmpty()) {
            text.append(line.trimmed());
        }
    }
    emitCue();
    return document;
}

// Lines that hold a timing, found as the reference finds them.
qsizetype timingLines(const QString &text, bool dropFrame)
{
    static const QRegularExpression timing[] = {QRegularExpression(timingPattern.arg(u":"_qs)),
                                                QRegularExpression(timingPattern.arg(u"[:;]"_qs))};
    const QStringList lines = text.split(lineEnd);
    return std::count_if(lines.begin(), lines.end(), [&](const QString &line) {
        return timing[dropFrame].match(line).hasMatch();
    });
}

// Eight bytes, read as the command line would give them: through the option parser.
ConversionOptions pickOptions(const uchar *h)
{
    static const char *const rates[] = {"23.976", "24", "25", "29.97", "30",
                                        "48", "50", "59.94", "60"};
    const int rate = h[0] % 9;
    QStringList arguments{u"--fps"_qs, QString::fromLatin1(rates[rate])};
    if (h[1] & 1)
        arguments << u"--check"_qs;
    const char mark = (h[1] & 8) && (rate == 3 || rate == 7) ? ';' : ':'; // drop frame
    if (h[1] & 2)
        arguments << u"--start"_qs << u"auto"_qs;
    else if (h[1] & 4)
        arguments << u"--start"_qs << QString::asprintf("%02d:%02d:%02d%c%02d", h[2] % 100,
                                                         h[3] % 100, h[4] % 100, mark, h[5] % 100);
    if (h[6] <= 190)
        arguments << u"--max-chars"_qs << QString::number(10 + h[6]);
    if (h[6] <= 190 && h[7] % 5)
        arguments << u"--max-lines"_qs << QString::number(h[7] % 5);
    for (const auto &[bit, name] : {std::pair(16, "--voices"), std::pair(32, "--keep-lines"),
                                    std::pair(64, "--no-voice")}) {
        if (h[1] & bit)
            arguments << QString::fromLatin1(name);
    }
    QCommandLineParser parser;
    addOptions(parser);
    Settings settings;
    require(parser.parse(QStringList{u"cuefold"_qs} + arguments)
                    && readSettings(parser, &settings).isEmpty(),
            "picked options refused");
    return settings.conversion;
}

// The document, or an empty one when the input is refused.
QByteArray convert(const QByteArray &bytes, const ConversionOptions &options, qsizetype pieceSize)
{
    QByteArray document;
    TranscriptConverter converter(options, [&document](QByteArrayView piece) {
        document += piece;
        return true;
    }, [](qint64 line, const QString &message) {
        require(line >= 1 && !message.isEmpty() && !message.contains(u'\n'), "not a line");
    });
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    QString error;
    return readTranscript(input, converter, &error, QString(), pieceSize) ? document
                                                                         : QByteArray();
}

struct Block
{
    qint64 start = 0;
    qint64 end = 0;
    QList<QByteArray> lines;
};

// The cues of a document that must be well formed. Timings have no sign: none starts before 0.
QList<Block> cuesOf(const QByteArray &document, bool noVoice)
{
    static const QString stamp = QStringLiteral(R"((\d{2,}):([0-5]\d):([0-5]\d)\.(\d{3}))");
    static const QRegularExpression timing(u'^' + stamp + u" --> "_qs + stamp + u'$');
    const QList<QByteArray> lines = document.split('\n');
    require(lines.size() >= 3 && lines[0] == "WEBVTT" && lines[1].isEmpty()
                    && lines.last().isEmpty(), "no header, or no empty line at the end");
    QList<Block> cues;
    bool inCue = false;
    for (qsizetype i = 2; i < lines.size() - 1; ++i) {
        const QByteArray &line = lines[i];
        if (!inCue) {
            const QRegularExpressionMatch match = timing.match(QString::fromUtf8(line));
            require(match.hasMatch(), "a block does not start with a timing line");
            const auto ms = [&](int k) {
                const auto field = [&](int i) { return match.captured(k + i).toLongLong(); };
                return ((field(0) * 60 + field(1)) * 60 + field(2)) * 1000 + field(3);
            };
            cues.append(Block{ms(1), ms(5), {}});
            inCue = true;
        } else if (line.isEmpty()) {
            require(!cues.last().lines.isEmpty(), "a cue has no text");
            inCue = false;
        } else {
            require(!line.contains("-->"), "a text line holds an arrow");
            require(!cues.last().lines.isEmpty() || line.startsWith("<v ") || noVoice, "no voice");
            cues.last().lines.append(line);
        }
    }
    require(!inCue, "the last cue is not ended by an empty line");
    return cues;
}

// What a viewer reads, word by word: without tags (told apart as the splitter tells them).
QStringList wordsOf(const QList<QByteArray> &lines)
{
    static const QRegularExpression tag(QStringLiteral("<[A-Za-z0-9/][^<>]*>"));
    static const QRegularExpression blank(QStringLiteral("[ \t]"));
    return QString::fromUtf8(lines.join(' ')).remove(tag).split(blank, Qt::SkipEmptyParts);
}

// Each passage, a cue of the unsplit document, must be shown by the next cues of the split one.
void checkSplit(const QList<Block> &passages, const QList<Block> &cues, const ConversionOptions &o)
{
    qsizetype next = 0;
    for (const Block &passage : passages) {
        const QStringList words = wordsOf(passage.lines);
        const bool forward = passage.end >= passage.start; // else cues keep the passage's times
        QStringList shown;
        // A passage takes one cue, then more until all its words are shown.
        for (const qsizetype first = next; next == first || shown.size() < words.size(); ++next) {
            require(next < cues.size(), "fewer split cues than the passages need");
            const Block &cue = cues[next];
            require(cue.lines.size() <= o.split.maxLines, "a split cue has too many lines");
            for (const QByteArray &line : cue.lines) {
                require(visibleLength(line) <= o.split.maxChars || wordsOf({line}).size() <= 1,
                        "a line of several words is too long");
            }
            require(cue.start == (next == first || !forward ? passage.start : cues[next - 1].end),
                    "the split cues do not tile the passage");
#if CHECK_SPLIT_DURATIONS
            require(passage.end <= passage.start || cue.end > cue.start, "a cue ends at its start");
#endif
            shown += wordsOf(cue.lines);
        }
        require(cues[next - 1].end == passage.end, "the split cues do not end with the passage");
        require(shown == words, "the split cues do not show the passage's words in order");
    }
    require(next == cues.size(), "more split cues than the passages need");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ConversionOptions options;
    qsizetype pieceSize = bytes.isEmpty() ? 1 : 1 + quint8(bytes[0]) % 16;
    if (bytes.size() >= 10 && bytes[0] == '\x01') {
        options = pickOptions(data + 1);
        pieceSize = 1 + data[9] % 16;
        bytes.remove(0, 10);
    }
    // Each passage's times and words come from a run without splitting.
    ConversionOptions whole = options;
    whole.split.maxChars = 0;
    const QByteArray document = convert(bytes, whole, pieceSize);

    // Unmarked bytes must be refused just as Qt refuses them; a mark only picks the decoding.
    const std::optional<QStringConverter::Encoding> mark = QStringConverter::encodingForData(bytes);
    const bool marked = mark.has_value();
    QStringDecoder decoder(mark.value_or(QStringConverter::Utf8), QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    require(marked || document.isEmpty() == decoder.hasError(), "validity differs from Qt's");
    if (document.isEmpty())
        return 0;
    const bool plain = options.rate.numerator == 25 && options.rate.denominator == 1
            && !options.start && !options.startAuto && !options.voices && !options.keepLines
            && options.voice == ConversionOptions().voice;
    require(marked || !plain || QString::fromUtf8(document) == reference(text),
            "document differs from the reference");

    const bool noVoice = options.voice.isEmpty();
    const QList<Block> passages = cuesOf(document, noVoice);
    require(passages.size() <= timingLines(text, options.rate.allowsDropFrame()),
            "more cues than timings");
    if (options.split.maxChars) {
        const QByteArray split = convert(bytes, options, pieceSize);
        require(!split.isEmpty(), "the split run refused what the whole run took");
        const QList<Block> cues = cuesOf(split, noVoice);
        // Speakers and kept lines cut passages of their own accord; only plain text is compared.
        if (!options.voices && !options.keepLines)
            checkSplit(passages, cues, options);
    }
    return 0;
}
