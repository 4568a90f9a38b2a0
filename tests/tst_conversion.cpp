#include "decoding.h"
#include "transcript.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

class tst_Conversion : public QObject
{
    Q_OBJECT

private slots:
    void convertTranscript_data();
    void convertTranscript();
    void timestamps_data();
    void timestamps();
    void matcherAgreesWithPattern();
    void decoding_data();
    void decoding();
};

static const QString header = QStringLiteral("WEBVTT\n\n");

// Feeds the decoder in pieces of pieceSize bytes, as a reader would.
static QString decode(const QByteArray &bytes, qsizetype pieceSize, QString *error)
{
    TranscriptDecoder decoder(pieceSize == 1 ? 0 : bytes.size());
    for (qsizetype i = 0; i < bytes.size(); i += pieceSize) {
        if (!decoder.decode(QByteArrayView(bytes).sliced(i, qMin(pieceSize, bytes.size() - i))))
            break;
    }
    *error = decoder.finish() ? QString() : decoder.error();
    return error->isEmpty() ? decoder.takeText() : QString();
}

static QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_Conversion::convertTranscript_data()
{
    QTest::addColumn<QString>("transcript");
    QTest::addColumn<QString>("document");

    // The shared corpus: each transcript beside the document it must give, byte for byte.
    const QDir corpus(QStringLiteral(CUEFOLD_CORPUS));
    const QStringList names = corpus.entryList({u"*.txt"_qs}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 10);
    for (const QString &name : names) {
        QString error;
        const QString transcript = decode(readFile(corpus.filePath(name)), 1 << 16, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QByteArray document = readFile(corpus.filePath(name.chopped(4) + u".vtt"_qs));
        QTest::newRow(qPrintable(name)) << transcript << QString::fromUtf8(document);
    }
    // Text no browser would show as written.
    QTest::newRow("NUL and surrogate pairs pass through")
            << u"00:00:01:00 - 00:00:02:00\na\0b \U0001F600"_qs
            << header + u"00:00:01.000 --> 00:00:02.000\n<v Speaker>a\0b \U0001F600\n\n"_qs;
}

void tst_Conversion::convertTranscript()
{
    QFETCH(QString, transcript);
    QFETCH(QString, document);
    QCOMPARE(::convertTranscript(transcript), document);
}

void tst_Conversion::timestamps_data()
{
    QTest::addColumn<QString>("timecode");
    QTest::addColumn<QString>("timestamp");

    for (int frame = 0; frame < 25; ++frame) {
        QTest::addRow("frame %d", frame) << u"10:59:59:%1"_qs.arg(frame, 2, 10, QLatin1Char('0'))
                                         << u"10:59:59.%1"_qs.arg(frame * 40, 3, 10, QLatin1Char('0'));
    }
    QTest::newRow("zero") << u"00:00:00:00"_qs << u"00:00:00.000"_qs;
    QTest::newRow("carry through every field") << u"00:59:59:25"_qs << u"01:00:00.000"_qs;
    QTest::newRow("minutes carry") << u"00:60:00:00"_qs << u"01:00:00.000"_qs;
    QTest::newRow("hours past 99") << u"99:99:99:99"_qs << u"100:40:42.960"_qs;
}

void tst_Conversion::timestamps()
{
    QFETCH(QString, timecode);
    QFETCH(QString, timestamp);
    const QString document = ::convertTranscript(timecode + u" - 00:00:00:00\nx"_qs);
    QCOMPARE(document, header + timestamp + u" --> 00:00:00.000\n<v Speaker>x\n\n"_qs);
}

// The hand-written matcher must find exactly what the regular expression finds.
void tst_Conversion::matcherAgreesWithPattern()
{
    const QRegularExpression pattern(
            QStringLiteral(R"((\d{2}:\d{2}:\d{2}:\d{2})\s*-\s*(\d{2}:\d{2}:\d{2}:\d{2}))"));
    // Pieces that make matches, near misses and look-alikes when strung together.
    const QStringList pieces = {
        u"0"_qs, u"12"_qs, u"9"_qs, u":"_qs, u"-"_qs, u" "_qs, u"\t"_qs, u"\v"_qs,
        u"\f"_qs, u"\u00A0"_qs, u"\u2013"_qs, u"\u0660"_qs, u"\uFF11"_qs, u"a"_qs,
        u"00:00:01:00"_qs, u"00:00:01:0"_qs, u"0:00:01:00"_qs, u"00:00:01:00 - "_qs,
        u" - 00:00:02:00"_qs, u"00:00:01:00-00:00:02:00"_qs, u"00:00:01"_qs, u"--"_qs,
    };
    QRandomGenerator random(20261206);
    int matches = 0;
    for (int i = 0; i < 200000; ++i) {
        QString line;
        for (int n = random.bounded(1, 9); n > 0; --n)
            line += pieces.at(random.bounded(pieces.size()));
        const QRegularExpressionMatch expected = pattern.match(line);
        const TimingMatch actual = findTiming(line);
        const qsizetype start = expected.hasMatch() ? expected.capturedStart() : -1;
        QVERIFY2(actual.start == start, qPrintable(line));
        if (expected.hasMatch()) {
            QCOMPARE(actual.length, expected.capturedLength());
            ++matches;
        }
    }
    QVERIFY(matches > 10000);
}

void tst_Conversion::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");

    QTest::newRow("empty") << QByteArray() << QString() << QString();
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80")
                           << u"caf\u00E9 \u4E2D \U0001F600"_qs << QString();
    QTest::newRow("UTF-8 mark dropped, later one kept")
            << QByteArray("\xEF\xBB\xBFx\xEF\xBB\xBF") << u"x\uFEFF"_qs << QString();
    QTest::newRow("UTF-16LE") << QByteArray("\xFF\xFEh\0\xE9\0\x3D\xD8\x00\xDE", 10)
                              << u"h\u00E9\U0001F600"_qs << QString();
    QTest::newRow("UTF-16BE") << QByteArray("\xFE\xFF\0h\0\r", 6) << u"h\r"_qs << QString();
    QTest::newRow("UTF-32LE") << QByteArray("\xFF\xFE\0\0h\0\0\0\0\xF6\x01\0", 12)
                              << u"h\U0001F600"_qs << QString();
    QTest::newRow("UTF-32BE") << QByteArray("\0\0\xFE\xFF\0\0\0h", 8) << u"h"_qs << QString();

    const QString utf8Line3 = u"invalid UTF-8 on line 3"_qs;
    QTest::newRow("Latin-1 byte") << QByteArray("a\nb\r\nc\xE9") << QString() << utf8Line3;
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb\r\xFF") << QString() << utf8Line3;
    QTest::newRow("overlong") << QByteArray("\xC0\xAF") << QString() << u"invalid UTF-8 on line 1"_qs;
    QTest::newRow("encoded surrogate") << QByteArray("\n\xED\xA0\x80") << QString()
                                       << u"invalid UTF-8 on line 2"_qs;
    QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << QString()
                                    << u"invalid UTF-8 on line 1"_qs;
    QTest::newRow("truncated at end") << QByteArray("ok\n\xE4\xB8") << QString()
                                      << u"invalid UTF-8 on line 2"_qs;
    QTest::newRow("UTF-16 lone low surrogate")
            << QByteArray("\xFF\xFE\n\0\x00\xDC", 6) << QString() << u"invalid UTF-16 on line 2"_qs;
    QTest::newRow("UTF-16 odd length") << QByteArray("\xFE\xFF\0a\0", 5) << QString()
                                       << u"invalid UTF-16 on line 1"_qs;
    QTest::newRow("UTF-32 out of range") << QByteArray("\0\0\xFE\xFF\0\x11\0\0", 8) << QString()
                                         << u"invalid UTF-32 on line 1"_qs;
}

void tst_Conversion::decoding()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, error);
    // Whole, and cut at every byte: a character split between reads must not matter.
    for (qsizetype pieceSize : {qMax(bytes.size(), qsizetype(1)), qsizetype(1), qsizetype(3)}) {
        QString actualError;
        QCOMPARE(decode(bytes, pieceSize, &actualError), text);
        QCOMPARE(actualError, error);
    }
}

QTEST_APPLESS_MAIN(tst_Conversion)
#include "tst_conversion.moc"
