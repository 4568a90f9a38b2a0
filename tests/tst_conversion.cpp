#include "options.h"
#include "reading.h"
#include "transcript.h"

#include "corpus.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QStringEncoder>
#include <QTest>

#include <cmath>

// The formats, through the decoder and the converter as the program drives them.
class tst_Conversion : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
    void durationLimit_data();
    void durationLimit();
    void decoding_data();
    void decoding();
    void frameRates_data();
    void frameRates();
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
    TranscriptConverter converter(
            settings.conversion,
            [&](QByteArrayView bytes) {
                result.document += bytes;
                return true;
            },
            [&](qint64 line, const QString &message) {
                result.diagnostics += u"%1:%2: warning: %3\n"_qs.arg(name).arg(line).arg(message).toUtf8();
            });
    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    readTranscript(input, converter, &result.error, settings.encoding, pieceSize);
    return result;
}

// The settings that `arguments` name, as the command line reads them.
static Settings settingsFor(const QStringList &arguments)
{
    QCommandLineParser parser;
    addOptions(parser);
    Settings settings;
    if (!parser.parse(QStringList{u"cuefold"_qs} + arguments)
        || !readSettings(parser, &settings).isEmpty())
        qFatal("bad options");
    return settings;
}

void tst_Conversion::corpus_data()
{
    addFileRows();
}

// Each transcript gives its document and diagnostics, however the reads cut it.
void tst_Conversion::corpus()
{
    QFETCH(QString, name);
    const QString stem = QStringLiteral(CUEFOLD_CORPUS "/") + name.chopped(4);
    const Settings settings = settingsFor(corpusArguments(stem));
    QByteArray diagnostics;
    for (const QByteArray &line : readFile(stem + u".err"_qs).split('\n')) {
        if (!line.isEmpty() && !line.startsWith("cuefold: "))
            diagnostics += line + '\n';
    }
    const QByteArray transcript = readFile(stem + u".txt"_qs);
    for (qsizetype pieceSize : {1, 2, 3, 7, 1 << 16}) {
        const Result result = convert(transcript, settings, pieceSize, name);
        QCOMPARE(result.error, QString());
        QCOMPARE(result.document, readFile(stem + u".vtt"_qs));
        QCOMPARE(result.diagnostics, diagnostics);
    }
}

void tst_Conversion::durationLimit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::addColumn<qint64>("milliseconds");

    const QStringList chars{u"--max-chars"_qs, u"42"_qs, u"--max-duration"_qs};
    const QString range =
            u"cuefold: --max-duration takes a number of seconds from 1 to 60, not '%1'\n"_qs;
    QTest::newRow("default") << chars.first(2) << QString() << qint64(7000);
    QTest::newRow("decimals") << chars + QStringList{u"5.5"_qs} << QString() << qint64(5500);
    QTest::newRow("ends") << chars + QStringList{u"60"_qs} << QString() << qint64(60000);
    for (const QString &value : {u"0.999"_qs, u"60.001"_qs, u"5,5"_qs, u"nan"_qs, u"inf"_qs})
        QTest::newRow(qPrintable(value)) << chars + QStringList{value} << range.arg(value) << qint64(0);
    QTest::newRow("alone") << QStringList{u"--max-duration"_qs, u"5"_qs}
                           << u"cuefold: --max-duration needs --max-chars\n"_qs << qint64(0);
}

// --max-duration as the command line reads it, and its usage errors.
void tst_Conversion::durationLimit()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(qint64, milliseconds);
    QCommandLineParser parser;
    addOptions(parser);
    QVERIFY(parser.parse(QStringList{u"cuefold"_qs} + arguments));
    Settings settings;
    QCOMPARE(readSettings(parser, &settings), error);
    if (error.isEmpty())
        QCOMPARE(settings.conversion.split.maxDuration, milliseconds);
}

void tst_Conversion::decoding_data()
{
    QTest::addColumn<QString>("encoding"); // of a timing line and a byte-order mark before the bytes
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // the cue's text, or the error

    const QByteArray ascii(40, 'a');
    QTest::newRow("UTF-8 two bytes") << u"UTF-8"_qs << QByteArray("a\xC2\x80\xDF\xBF") << u"a\u0080\u07FF"_qs;
    QTest::newRow("UTF-8 three bytes") << u"UTF-8"_qs << QByteArray("\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF")
                                       << u"\u0800\uD7FF\uE000\uFFFF"_qs;
    QTest::newRow("UTF-8 four bytes") << u"UTF-8"_qs << QByteArray("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF")
                                      << u"\U00010000\U0010FFFF"_qs;
    QTest::newRow("UTF-8 after long ASCII runs") << u"UTF-8"_qs << ascii + "\xC3\xA9" + ascii.left(9) + "\xC3\xA9"
                                                 << QString::fromUtf8(ascii + "\xC3\xA9" + ascii.left(9) + "\xC3\xA9");
    QTest::newRow("a cue longer than the output's buffers") << u"UTF-8"_qs << QByteArray("\xC3\xA9").repeated(50000)
                                                            << QString(50000, u'\u00E9');
    QTest::newRow("mark dropped, later one kept") << u"UTF-8 mark"_qs << QByteArray("x\xEF\xBB\xBF") << u"x\uFEFF"_qs;
    QTest::newRow("UTF-16LE") << u"UTF-16LE"_qs << QByteArray("h\0\xE9\0\x3D\xD8\x00\xDE", 8) << u"h\u00E9\U0001F600"_qs;
    QTest::newRow("UTF-16BE") << u"UTF-16BE"_qs << QByteArray("\xDB\xFF\xDF\xFF", 4) << u"\U0010FFFF"_qs;
    QTest::newRow("UTF-16 at the UTF-8 length steps") << u"UTF-16BE"_qs << QByteArray("\xD8\x00\xDC\x00\x08\x00", 6)
                                                      << u"\U00010000\u0800"_qs;
    QTest::newRow("UTF-32LE") << u"UTF-32LE"_qs << QByteArray("\xFF\xFF\x10\0", 4) << u"\U0010FFFF"_qs;
    QTest::newRow("UTF-32BE") << u"UTF-32BE"_qs << QByteArray("\0\0\xD7\xFF\0\0\xE0\0", 8) << u"\uD7FF\uE000"_qs;

    const auto invalid = [](const QString &encoding, int line) {
        const QString hint = u"; if the file is in another encoding, name it with --encoding "
                             "(for example --encoding windows-1252)"_qs;
        return u"invalid %1 on line %2"_qs.arg(encoding).arg(line)
                + (encoding == u"UTF-8" ? hint : QString());
    };
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *encoding;
        int line;
    } faults[] = {
        {"Latin-1 after CR LF and CR", "ok\r\nb\rc\xE9", "UTF-8", 4},
        {"overlong two bytes", "\xC1\xBF", "UTF-8", 2},
        {"overlong three bytes", "\xE0\x9F\xBF", "UTF-8", 2},
        {"overlong four bytes", "\xF0\x8F\xBF\xBF", "UTF-8", 2},
        {"encoded surrogate", "\xED\xA0\x80", "UTF-8", 2},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "UTF-8", 2},
        {"lead byte above F4", "\xF5\x80\x80\x80", "UTF-8", 2},
        {"stray continuation", "a\n\x80", "UTF-8", 3},
        {"cut short by ASCII", "\xE4\xB8" "a", "UTF-8", 2},
        {"cut short by the end", "\n\xE4\xB8", "UTF-8", 3},
        {"after a long ASCII run", ascii + "\xFF", "UTF-8", 2},
        {"UTF-16 lone low surrogate", QByteArray("\n\0\x00\xDC", 4), "UTF-16LE", 3},
        {"UTF-16 high surrogate, then no low", QByteArray("\x00\xD8" "a\0", 4), "UTF-16LE", 2},
        {"UTF-16 high surrogate, then U+E000", QByteArray("\x00\xD8\x00\xE0", 4), "UTF-16LE", 2},
        {"UTF-16 two low surrogates", QByteArray("\x00\xDC\x00\xDC", 4), "UTF-16LE", 2},
        {"UTF-16 high surrogate at the end", QByteArray("\x00\xD8", 2), "UTF-16LE", 2},
        {"UTF-16 odd length", QByteArray("\0a\0", 3), "UTF-16BE", 2},
        {"UTF-32 surrogate", QByteArray("\0\0\xDF\xFF", 4), "UTF-32BE", 2},
        {"UTF-32 above U+10FFFF", QByteArray("\0\0\x11\0", 4), "UTF-32LE", 2},
    };
    for (const auto &fault : faults) {
        const QString encoding = QLatin1StringView(fault.encoding);
        QTest::newRow(fault.name) << encoding << fault.bytes << invalid(encoding.left(6), fault.line);
    }
}

void tst_Conversion::decoding()
{
    QFETCH(QString, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const bool mark = encoding != u"UTF-8";
    QStringEncoder encoder(encoding.section(u' ', 0, 0).toLatin1().constData(),
                           mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    const QByteArray transcript = encoder.encode(u"00:00:01:00 - 00:00:02:00\n"_qs) + bytes;
    for (qsizetype pieceSize : {1, 2, 3, 5, 1 << 16}) {
        const Result result = convert(transcript, Settings(), pieceSize);
        if (expected.startsWith(u"invalid ")) {
            QCOMPARE(result.error, expected);
        } else {
            QCOMPARE(result.error, QString());
            QCOMPARE(QString::fromUtf8(result.document),
                     u"WEBVTT\n\n00:00:01.000 --> 00:00:02.000\n<v Speaker>"_qs + expected + u"\n\n"_qs);
        }
    }
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
            QTest::newRow(qPrintable(rate + u" drop frame"_qs)) << rate << nominal << thousandths << nominal / 15;
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
            const QByteArray text = QString::asprintf("%02d:%02d:%02d%c%02d", label[0], label[1], label[2], separator, label[3]).toLatin1();
            transcript += text + " - " + text + "\nx\n";
            expected.append(std::llround(std::floor(frame * frameThousandths / (long double)nominal + 0.5L)));
        }
        if (++label[3] == nominal && (label[3] = 0, ++label[2] == 60) && (label[2] = 0, ++label[1] == 60))
            label[1] = 0, ++label[0];
        if (dropped && label[2] == 0 && label[3] == 0 && label[1] % 10 != 0)
            label[3] = dropped;
    }
    const Settings settings = settingsFor({u"--fps"_qs, rate});
    const QList<QByteArray> lines = convert(transcript, settings, 1 << 16).document.split('\n');
    QCOMPARE(lines.size(), 2 + 3 * expected.size() + 1);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QByteArray &timing = lines[2 + 3 * i];
        const qint64 milliseconds = ((timing.left(2).toLongLong() * 60 + timing.mid(3, 2).toLongLong()) * 60
                                     + timing.mid(6, 2).toLongLong()) * 1000 + timing.mid(9, 3).toLongLong();
        QVERIFY2(milliseconds == expected[i], timing.constData());
    }
}

QTEST_APPLESS_MAIN(tst_Conversion)
#include "tst_conversion.moc"
