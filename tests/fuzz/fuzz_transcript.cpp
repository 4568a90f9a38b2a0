// libFuzzer target. Any bytes, read in pieces of a size the input picks, are refused exactly
// when Qt's decoder refuses them; otherwise they give the document that a regular expression
// account of the format gives, and each line one edit from a timing is warned. An input starting
// with \x01 picks options with its next nine bytes: the document must then be well formed, split
// cues must share out each passage's time and text, within the limits, with balanced tags and
// at a bounded cost a cue, and speakers' cues must keep every word but the labels taken.
#include "decoding.h"
#include "markup.h"
#include "options.h"
#include "reading.h"
#include "text.h"
#include "transcript.h"
#include "words.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

// A timing; the separator before the frames is ':' or, with drop frame, ';' in both.
QRegularExpression timingPattern(bool dropFrame)
{
    return QRegularExpression(QStringLiteral(R"((\d\d):(\d\d):(\d\d)(%1)(\d\d)\s*-\s*)"
                                             R"((\d\d):(\d\d):(\d\d)\4(\d\d))")
                                      .arg(dropFrame ? u"[:;]"_s : u":"_s));
}

QStringList linesOf(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    return text.split(lineEnd);
}

// The document at 25 frames a second with no options.
QString reference(const QString &transcript)
{
    static const QRegularExpression timing = timingPattern(false);
    const auto stamp = [](const QRegularExpressionMatch &m, int at, int frames) {
        const qint64 ms = ((m.captured(at).toInt() * 60 + m.captured(at + 1).toInt()) * 60
                           + m.captured(at + 2).toInt()) * qint64(1000)
                + m.captured(frames).toInt() * 40;
        return QString::asprintf("%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                                 ms / 1000 % 60, ms % 1000);
    };
    QString document = u"WEBVTT\n\n"_s, cue;
    QStringList text;
    const auto endCue = [&] {
        if (!cue.isEmpty() && !text.isEmpty())
            document += cue + u"\n<v Speaker>"_s
                    + text.join(u' ').replace(u"-->"_s, u"--&gt;"_s) + u"\n\n"_s;
        text.clear();
    };
    for (const QString &line : linesOf(transcript)) {
        const QRegularExpressionMatch m = timing.match(line);
        if (m.hasMatch()) {
            endCue();
            cue = stamp(m, 1, 5) + u" --> "_s + stamp(m, 6, 9);
        } else if (!line.trimmed().isEmpty()) {
            text.append(line.trimmed());
        }
    }
    endCue();
    return document;
}

// Whether a line that is no timing line at 25 frames a second was meant as one: it is one at
// another rate, or becomes one by a single character deleted, inserted or replaced. By brute
// force, so only for short lines.
bool isNearTiming(const QString &line)
{
    static const QRegularExpression timing = timingPattern(true);
    static const QRegularExpression plainTiming = timingPattern(false);
    constexpr qsizetype longest = 100;
    if (line.size() > longest || plainTiming.match(line).hasMatch())
        return false;
    if (timing.match(line).hasMatch())
        return true;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && timing.match(QString(line).remove(i, 1)).hasMatch())
            return true;
        for (const QChar c : QStringView(u"0:;- ")) {
            if (timing.match(QString(line).insert(i, c)).hasMatch()
                || (i < line.size() && timing.match(QString(line).replace(i, 1, c)).hasMatch()))
                return true;
        }
    }
    return false;
}

// Eight bytes turned into a command line, read by the option parser.
ConversionOptions pickOptions(const uchar *h)
{
    static const char *const rates[] = {"23.976", "24", "25", "29.97", "30",
                                        "48", "50", "59.94", "60"};
    static const int nominal[] = {24, 24, 25, 30, 30, 48, 50, 60, 60};
    const int rate = h[0] % 9;
    QStringList arguments{u"--fps"_s, QString::fromLatin1(rates[rate])};
    for (const auto &[bit, name] : {std::pair(1, "--check"), std::pair(16, "--voices"),
                                    std::pair(32, "--keep-lines"), std::pair(64, "--no-voice"),
                                    std::pair(128, "--speaker-names")}) {
        if (h[1] & bit)
            arguments << QString::fromLatin1(name);
    }
    const char frames = (h[1] & 8) && (rate == 3 || rate == 7) ? ';' : ':';
    if (h[1] & 2)
        arguments << u"--start"_s << u"auto"_s;
    else if (h[1] & 4)
        arguments << u"--start"_s
                  << QString::asprintf("%02d:%02d:%02d%c%02d", h[2] % 100, h[3] % 60, h[4] % 60,
                                       frames, h[5] % nominal[rate]);
    if (h[6] <= 190)
        arguments << u"--max-chars"_s << QString::number(10 + h[6]);
    if (h[6] <= 190 && h[7] % 5)
        arguments << u"--max-lines"_s << QString::number(h[7] % 5);
    static const char *const durations[] = {"1", "1.5", "2", "3.3", "5", "10", "60"};
    if (h[6] <= 190 && h[7] / 5 % 8 < 7)
        arguments << u"--max-duration"_s << QString::fromLatin1(durations[h[7] / 5 % 8]);
    QCommandLineParser parser;
    addOptions(parser);
    Settings settings;
    require(parser.parse(QStringList{u"cuefold"_s} + arguments)
                    && readSettings(parser, &settings).isEmpty(),
            "picked options refused");
    return settings.conversion;
}

// The document, or an empty one when the input is refused; `nearLines` receives the lines
// warned as looking like a timing.
QByteArray convert(const QByteArray &bytes, const ConversionOptions &options, qsizetype pieceSize,
                   QList<qint64> *nearLines = nullptr)
{
    QByteArray document;
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    ConversionOptions told = options;
    QTemporaryFile copy;
    QIODevice *source = &input;
    QString error;
    if (options.voices && !readSpeakers(input, copy, &source, &told.speakers, &error, QString(),
                                        pieceSize))
        return QByteArray();
    TranscriptConverter converter(told, [&document](QByteArrayView piece) {
        document += piece;
        return true;
    }, [nearLines](qint64 line, const QString &message) {
        require(line >= 1 && !message.isEmpty() && !message.contains(u'\n'), "not a line");
        if (nearLines && message.startsWith(u"the line looks like a timing"))
            nearLines->append(line);
    });
    const bool read = readTranscript(input, converter, &error, QString(), pieceSize);
    return read ? document : QByteArray();
}

struct Block
{
    qint64 start = 0;
    qint64 end = 0;
    QStringList lines;
};

// The cues of a document, which must be well formed. No timestamp has a sign.
QList<Block> cuesOf(const QByteArray &document, bool noVoice)
{
    static const QString stamp = QStringLiteral(R"((\d{2,}):([0-5]\d):([0-5]\d)\.(\d{3}))");
    static const QRegularExpression timing(u'^' + stamp + u" --> "_s + stamp + u'$');
    require(document.startsWith("WEBVTT\n\n"), "no header");
    const QString body = QString::fromUtf8(document.sliced(8));
    if (body.isEmpty())
        return {};
    require(body.endsWith(u"\n\n"), "the last cue is not ended by an empty line");
    QList<Block> cues;
    for (const QString &block : body.chopped(2).split(u"\n\n"_s)) {
        const QStringList lines = block.split(u'\n');
        const QRegularExpressionMatch m = timing.match(lines[0]);
        require(m.hasMatch() && lines.size() > 1, "a block is not a timing line and text");
        require(noVoice || lines[1].startsWith(u"<v "), "no voice");
        require(!block.sliced(lines[0].size()).contains(u"-->"), "a text line holds an arrow");
        const auto ms = [&m](int at) {
            return ((m.captured(at).toLongLong() * 60 + m.captured(at + 1).toLongLong()) * 60
                    + m.captured(at + 2).toLongLong()) * 1000 + m.captured(at + 3).toLongLong();
        };
        cues.append(Block{ms(1), ms(5), lines.mid(1)});
    }
    return cues;
}

// What a viewer reads, without tags or blanks (told apart as the splitter tells them): a
// passage in a script without spaces may be cut between any two characters. Hyphens are left
// out too, since a cue the speakers share opens each one's line with a dash.
QByteArray shownOf(const QStringList &lines)
{
    QByteArray shown;
    for (const QString &line : lines) { // a '<' whose '>' is on a later line is text
        const QByteArray text = line.toUtf8();
        for (qsizetype i = 0; i < text.size();) {
            const Element e = nextElement(text, i);
            if (!e.isTag && text[i] != ' ' && text[i] != '\t' && text[i] != '-')
                shown += text.sliced(i, e.end - i);
            i = e.end;
        }
    }
    return shown;
}

qsizetype wordCount(const QStringList &lines)
{
    const QByteArray text = lines.join(u' ').toUtf8();
    WordReader reader(text);
    qsizetype count = 0;
    for (Word w; reader.next(&w);)
        ++count;
    return count;
}

// Whether every end tag closes the element open innermost, as a reader takes them, and none
// is left open; nesting deeper than a cue carries over is not (and so not checked). The voice that
// opens each cue, when there is one, stays open.
bool balanced(const QStringList &lines, bool noVoice)
{
    const QByteArray text = lines.join(u' ').toUtf8();
    QList<QByteArray> open;
    for (qsizetype i = noVoice ? 0 : nextElement(text, 0).end; i < text.size();) {
        const Element e = nextElement(text, i);
        const QByteArray tag = text.sliced(i, e.end - i);
        i = e.end;
        if (!e.isTag || isAsciiDigit(tag[1]))
            continue;
        // As a reader names tags: a start tag up to white space or a class, an end tag whole.
        static const QRegularExpression name(QStringLiteral("^<([^\\s.>]+)|^</([^>]*)"));
        const auto match = name.match(QString::fromUtf8(tag));
        const QByteArray n = match.captured(match.lastCapturedIndex()).toUtf8();
        if (!tag.startsWith("</"))
            open.append(n);
        else if (!open.isEmpty() && open.last() == n)
            open.removeLast();
        else if (n == "ruby" && open.size() >= 2 && open.last() == "rt")
            open.resize(open.size() - 2);
        else
            return false;
        if (open.size() > 16)
            return false;
    }
    return open.isEmpty();
}

// Each passage (a cue of the unsplit document) is shown by the next cues of the split one: the
// first starts with it, each other one where the one before ends (unless the passage ends at or
// before its start), and the last ends with it.
void checkSplit(const QList<Block> &passages, const QList<Block> &cues, const SplitLimits &limits,
                bool noVoice)
{
    qsizetype next = 0;
    for (const Block &passage : passages) {
        const QByteArray words = shownOf(passage.lines);
        const bool tagsBalanced = balanced(passage.lines, noVoice);
        QByteArray shown;
        // Until the text is shown and the time is used: a last cue may show only a dash.
        const auto more = [&](qsizetype first) {
            if (next == first || shown.size() < words.size())
                return true;
            if (passage.end > passage.start)
                return cues[next - 1].end < passage.end;
            return next < cues.size() && cues[next].start == passage.start
                    && cues[next].end == passage.end && shownOf(cues[next].lines).isEmpty();
        };
        for (const qsizetype first = next; more(first); ++next) {
            require(next < cues.size(), "fewer split cues than the passages need");
            const Block &cue = cues[next];
            // Only the last cue of a passage, or of a speaker's share of it, with fewer
            // milliseconds than cues takes more.
            const bool rest = cue.end - cue.start == 1;
            require(cue.lines.size() <= limits.maxLines || rest, "a split cue has too many lines");
            for (const QString &line : cue.lines) {
                require(visibleLength(line.toUtf8()) <= limits.maxChars
                                || wordCount({line}) <= 1,
                        "a line of several words is too long");
                const QByteArray text = line.toUtf8();
                qsizetype i = 0; // past the tags and blanks that start the line
                for (Element e; i < text.size()
                     && ((e = nextElement(text, i)).isTag || isBlank(text[i]));)
                    i = e.end;
                require(i < text.size() || words.isEmpty(), "a line shows nothing");
            }
            require(cue.end - cue.start <= limits.maxDuration || wordCount(cue.lines) <= 1,
                    "a cue of several words stays past the time limit");
            require(!tagsBalanced || balanced(cue.lines, noVoice), "a cue's tags are not balanced");
            const bool tiled = next > first && passage.end >= passage.start;
            require(cue.start == (tiled ? cues[next - 1].end : passage.start),
                    "the split cues do not tile the passage");
            require(passage.end <= passage.start || cue.end > cue.start, "a cue ends at its start");
            shown += shownOf(cue.lines);
        }
        require(cues[next - 1].end == passage.end, "the split cues do not end with the passage");
        require(shown == words, "the split cues do not show the passage's text in order");
    }
    require(next == cues.size(), "more split cues than the passages need");
}

// Every word of the transcript's text is in the document once, in order (told by its letters,
// as a splitter may cut text with no spaces anywhere): only a label taken as a speaker (a line's
// start up to its first colon) may go, naming the voice of what follows, and a dash may open a
// line of a dialogue, as may the speaker's name ("ANNA: ") a line that changes speaker. The
// text holds no '<': every tag is the converter's.
void checkWords(const QStringList &lines, const QRegularExpression &timing,
                const QList<Block> &cues)
{
    static const QRegularExpression colon(u"[:\uFF1A]"_s), voice(u"^<v ([^>]*)>"_s);
    struct Shown
    {
        QChar c;
        bool dash; // the word that opens a line
        bool name;
        QString voice;
    };
    const auto isDashed = [](const QString &text) {
        return text == u"-" || text.startsWith(u"- ");
    };
    QList<Shown> shown;
    QList<qsizetype> turns; // where each voice tag's text starts
    for (const Block &cue : cues) {
        QString name;
        for (QString line : cue.lines) {
            if (const auto m = voice.match(line); m.hasMatch()) {
                name = m.captured(1);
                turns.append(shown.size());
            }
            const QString text = line.remove(voice).remove(u"</v>"_s).simplified();
            for (qsizetype i = 0; i < text.size(); ++i) {
                if (!text[i].isSpace())
                    shown.append({text[i], i == 0 && isDashed(text), false, name});
            }
        }
    }
    // The splitter may cut a name anywhere, even between cues.
    for (const qsizetype at : std::as_const(turns)) {
        const QString name = QString(shown.value(at).voice.toUpper() + u':').remove(u' ');
        qsizetype i = 0;
        while (i < name.size() && at + i < shown.size() && shown[at + i].c == name[i])
            ++i;
        for (qsizetype k = 0; i == name.size() && k < i; ++k)
            shown[at + k].name = true;
    }
    qsizetype at = 0;
    // A shown name may also be the text's own first word: both readings are tried.
    const auto matchesAs = [&](QString text, const QString &label, bool skipName) {
        text = text.replace(u"-->"_s, u"--&gt;"_s).simplified();
        qsizetype i = at;
        if (!text.isEmpty()) {
            while (skipName && i < shown.size() && shown[i].name)
                ++i;
            if (i < shown.size() && shown[i].dash && !isDashed(text))
                ++i;
            if (!label.isNull() && (i == shown.size() || !label.contains(shown[i].voice)))
                return false;
        }
        for (const QChar c : std::as_const(text)) {
            if (c.isSpace())
                continue;
            if (i == shown.size() || shown[i].c != c)
                return false;
            ++i;
        }
        at = i;
        return true;
    };
    const auto matches = [&](const QString &text, const QString &label) {
        return matchesAs(text, label, true) || matchesAs(text, label, false);
    };
    bool underTiming = false;
    for (const QString &line : lines) {
        const bool isTiming = timing.match(line).hasMatch();
        underTiming = underTiming || isTiming;
        const QString text = line.trimmed();
        const qsizetype label = text.indexOf(colon);
        require(isTiming || !underTiming || matches(text, QString())
                        || (label > 0
                            && matches(text.sliced(label + 1).trimmed(), text.first(label))),
                "a word of the transcript is not in the document, or not in order, or a label "
                "went that is not the voice of what follows");
    }
    require(at == shown.size(), "the document has text the transcript lacks");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ConversionOptions options;
    qsizetype pieceSize = bytes.isEmpty() ? 1 : 1 + data[0] % 16;
    if (size >= 10 && data[0] == 1) {
        options = pickOptions(data + 1);
        pieceSize = 1 + data[9] % 16;
        bytes.remove(0, 10);
    }
    // Passages come from a run that does not split.
    ConversionOptions whole = options;
    whole.split.maxChars = 0;
    QList<qint64> nearLines;
    const QByteArray document = convert(bytes, whole, pieceSize, &nearLines);

    // A byte-order mark picks the decoding; unmarked bytes are refused just as Qt refuses them,
    // and may be refused as UTF-16 or UTF-32 with no mark when a zero byte comes early.
    const auto mark = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(mark.value_or(QStringConverter::Utf8), QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    const bool zeroAhead = bytes.first(qMin(bytes.size(), formWindow)).contains('\0');
    require(mark || decoder.hasError() || zeroAhead || !document.isEmpty(), "refused valid text");
    require(mark || !decoder.hasError() || document.isEmpty(), "took invalid text");
    if (document.isEmpty())
        return 0;
    const bool plain = options.rate.nominal == 25 && !options.start && !options.startAuto
            && !options.voices && !options.keepLines && options.voice == "Speaker";
    require(mark || !plain || QString::fromUtf8(document) == reference(text),
            "document differs from the reference");
    const QStringList lines = linesOf(text);
    for (qsizetype i = 0; !mark && plain && i < lines.size(); ++i)
        require(!isNearTiming(lines[i]) || nearLines.contains(i + 1), "a near timing not warned");

    const bool noVoice = options.voice.isEmpty();
    const QList<Block> passages = cuesOf(document, noVoice);
    const QRegularExpression timing = timingPattern(options.rate.allowsDropFrame());
    require(passages.size() <= std::count_if(lines.begin(), lines.end(), [&](const QString &l) {
                return timing.match(l).hasMatch();
            }), "more cues than timings");
    const bool wordsKept = options.voices && !noVoice && !options.keepLines && !options.start
            && !options.startAuto && !text.contains(u'<');
    if (wordsKept)
        checkWords(lines, timing, passages);
    if (options.split.maxChars) {
        const QByteArray split = convert(bytes, options, pieceSize);
        require(!split.isEmpty(), "the split run refused what the whole run took");
        const QList<Block> cues = cuesOf(split, noVoice);
        // A cue adds its timing, a voice and the tags it opens again, each of bounded length.
        constexpr qsizetype cueCost = 64 + 16 * (maxTagLength + 8);
        require(split.size() <= document.size() + cues.size() * cueCost,
                "the split document grows faster than its cues");
        if (wordsKept)
            checkWords(lines, timing, cues);
        // Names shown where a split parts speakers a whole cue shows with dashes: not compared.
        if (!options.speakerNames)
            checkSplit(passages, cues, options.split, noVoice);
    }
    return 0;
}
