#include "options.h"
#include "reading.h"
#include "text.h"
#include "transcript.h"

#include "corpus.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

// The formats, through the decoder and the converter as the program drives them.
class tst_Conversion : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
    void frameRates_data();
    void frameRates();
    void neighbourhood_data();
    void neighbourhood();
};

struct Result
{
    QByteArray document;
    QByteArray diagnostics;
    QString error;
};

// Reads `bytes` as the program reads a file, pieceSize bytes at a time.
static Result convert(const QByteArray &bytes, const Settings &settings, qsizetype pieceSize,
                      const QString &name = QString())
{
    Result result;
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    ConversionOptions options = settings.conversion;
    QTemporaryFile copy;
    QIODevice *source = &input;
    if (options.voices && !options.speakers.isListed())
        readSpeakers(input, copy, &source, &options.speakers, &result.error, settings.encoding,
                     pieceSize);
    TranscriptConverter converter(
            options,
            [&](QByteArrayView bytes) {
                result.document += bytes;
                return true;
            },
            [&](qint64 line, const QString &message) {
                result.diagnostics
                        += u"%1:%2: warning: %3\n"_s.arg(name).arg(line).arg(message).toUtf8();
            });
    if (result.error.isEmpty())
        readTranscript(input, converter, &result.error, settings.encoding, pieceSize);
    return result;
}

// The settings that `arguments` name, as the command line reads them.
static Settings settingsFor(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    Settings settings;
    if (!parser.parse(QStringList{u"cuefold"_s} + arguments)
        || !readSettings(parser, &settings).isEmpty())
        qFatal("bad options");
    return settings;
}

void tst_Conversion::corpus_data()
{
    addFileRows();
}

// Each transcript gives its document and diagnostics, or its read error, however the reads
// cut it.
void tst_Conversion::corpus()
{
    QFETCH(QString, name);
    const QString stem = QStringLiteral(CUEFOLD_CORPUS "/") + name.chopped(4);
    const Settings settings = settingsFor(corpusArguments(stem));
    QByteArray diagnostics;
    QString error;
    for (const QByteArray &line : readFile(stem + u".err"_s).split('\n')) {
        if (line.startsWith("Error reading input file: "))
            error = QString::fromUtf8(line).section(u": "_s, 2);
        else if (!line.isEmpty() && !line.startsWith("cuefold: "))
            diagnostics += line + '\n';
    }
    const QByteArray transcript = readFile(stem + u".txt"_s);
    // WebVTT always; the other formats where the corpus has their document.
    for (const QString &format : formatNames()) {
        Settings formatted = settings;
        formatted.conversion.format = formatNamed(format);
        const QString expected = stem + formatted.conversion.format->extension.toString();
        if (format != defaultFormat().name && !QFile::exists(expected))
            continue;
        for (qsizetype pieceSize : {1, 2, 3, 7, 1 << 16}) {
            const Result result = convert(transcript, formatted, pieceSize, name);
            QCOMPARE(result.error, error);
            if (error.isEmpty())
                QCOMPARE(result.document, readFile(expected));
            QCOMPARE(result.diagnostics, diagnostics);
        }
    }
    // The library's entry gives the same document, for the text that needs no options.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(transcript);
    if (settings.conversion.format == &defaultFormat() && corpusArguments(stem).isEmpty()
        && error.isEmpty() && !utf8.hasError() && !transcript.startsWith(utf8Mark))
        QCOMPARE(convertTranscript(text).toUtf8(), readFile(stem + u".vtt"_s));
}

void tst_Conversion::frameRates_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<int>("nominal");
    QTest::addColumn<int>("frameThousandths"); // of a millisecond, times the nominal rate
    QTest::addColumn<int>("dropped");
    for (const QString &rate : frameRateNames()) {
        const int nominal = int(std::ceil(rate.toDouble()));
        const int thousandths = rate.contains(u'.') ? 1001 : 1000;
        QTest::newRow(qPrintable(rate)) << rate << nominal << thousandths << 0;
        if (rate == u"29.97" || rate == u"59.94")
            QTest::newRow(qPrintable(rate + u" drop frame"_s))
                    << rate << nominal << thousandths << nominal / 15;
    }
}

// Labels counted out frame by frame, as a deck shows them, against times worked out in
// floating point: an independent account of drop frame and rounding. (A frame lasts 1000/N or,
// at the NTSC rates, 1001/N milliseconds.)
void tst_Conversion::frameRates()
{
    QFETCH(QString, rate);
    QFETCH(int, nominal);
    QFETCH(int, frameThousandths);
    QFETCH(int, dropped);
    QByteArray transcript;
    QList<qint64> expected;
    int label[4] = {0, 0, 0, 0}; // hours, minutes, seconds, frames
    const char separator = dropped ? ';' : ':';
    for (qint64 frame = 0; frame < 3 * 3600 * nominal; ++frame) {
        if (frame % 97 == 0 || (label[2] == 0 && label[3] < 6)) {
            const QByteArray text = QString::asprintf("%02d:%02d:%02d%c%02d", label[0], label[1],
                                                      label[2], separator, label[3])
                                            .toLatin1();
            transcript += text + " - " + text + "\nx\n";
            expected.append(std::llround(
                    std::floor(frame * frameThousandths / (long double)nominal + 0.5L)));
        }
        if (++label[3] == nominal && (label[3] = 0, ++label[2] == 60)
            && (label[2] = 0, ++label[1] == 60))
            label[1] = 0, ++label[0];
        if (dropped && label[2] == 0 && label[3] == 0 && label[1] % 10 != 0)
            label[3] = dropped;
    }
    const Settings settings = settingsFor({u"--fps"_s, rate});
    const QList<QByteArray> lines = convert(transcript, settings, 1 << 16).document.split('\n');
    QCOMPARE(lines.size(), 2 + 3 * expected.size() + 1);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QByteArray &timing = lines[2 + 3 * i];
        const qint64 milliseconds
                = ((timing.left(2).toLongLong() * 60 + timing.mid(3, 2).toLongLong()) * 60
                   + timing.mid(6, 2).toLongLong())
                        * 1000
                + timing.mid(9, 3).toLongLong();
        QVERIFY2(milliseconds == expected[i], timing.constData());
    }
}

void tst_Conversion::neighbourhood_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("timing");
    QTest::newRow("25") << u"25"_s << u"00:00:03:00 - 00:00:04:12"_s;
    QTest::newRow("29.97 drop frame") << u"29.97"_s << u"10:00:00;00 - 10:00:02;15"_s;
    QTest::newRow("30") << u"30"_s << u"00:59:59:29 - 01:00:00:00"_s;
}

// Every line one edit (a character deleted, inserted or replaced) away from a timing line, put
// between two passages, is either a timing line or warned at its line: none merges silently
// into the passage above.
void tst_Conversion::neighbourhood()
{
    QFETCH(QString, rate);
    QFETCH(QString, timing);
    const QString alphabet = u"0123456789:;. -\u2013\u2014\u2212\u00A0>a"_s;
    QSet<QString> lines;
    for (qsizetype i = 0; i <= timing.size(); ++i) {
        if (i < timing.size())
            lines.insert(QString(timing).remove(i, 1));
        for (const QChar c : alphabet) {
            lines.insert(QString(timing).insert(i, c));
            if (i < timing.size())
                lines.insert(QString(timing).replace(i, 1, c));
        }
    }
    const Settings settings = settingsFor({u"--fps"_s, rate});
    for (const QString &line : std::as_const(lines)) {
        const Result result = convert("00:00:00:00 - 00:00:01:00\nabove\n" + line.toUtf8()
                                              + "\nbelow\n",
                                      settings, 1 << 16);
        const bool timingLine = result.document.count("-->") == 2;
        const bool warned = result.diagnostics.contains(":3: warning: the line looks like");
        QVERIFY2(timingLine != warned, qPrintable(line));
    }
}

QTEST_APPLESS_MAIN(tst_Conversion)
#include "tst_conversion.moc"
