#include "corpus.h"
#include "faults.h"
#include "files.h"
#include "paths.h"

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

// The output file from inside, with failures the system seldom gives: each is reported, and the
// old document or the whole new one survives.
class tst_Files : public QObject
{
    Q_OBJECT

private slots:
    void output_data();
    void output();
};

void tst_Files::output_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("name"); // out.vtt, a link to it, or its other (hard) name
    QTest::addColumn<int>("reached"); // 0: not opened, 1: opened, 2: committed
    QTest::addColumn<QString>("error"); // a pattern; a capture names where the new one is kept

    QTest::newRow("replaced") << int(Fault::None) << u"link.vtt"_s << 2 << QString();
    QTest::newRow("copied into") << int(Fault::None) << u"hard.vtt"_s << 2 << QString();
    QTest::newRow("failed commit") << int(Fault::Commit) << u"out.vtt"_s << 1 << u".*"_s;
    QTest::newRow("unreadable") << int(Fault::ReadExisting) << u"out.vtt"_s << 0
                                << u"out.vtt cannot be read to tell .*; not replaced .*"_s;
    QTest::newRow("copy cut short")
            << int(Fault::CutCopy) << u"hard.vtt"_s << 1
            << u"hard.vtt: .*; it is left cut short, and the whole document is in (.*)"_s;
    QTest::newRow("unreadable link") << int(Fault::ReadLink) << u"link.vtt"_s << 0
                                     << u"link.vtt: cannot read a link"_s;
}

void tst_Files::output()
{
    QFETCH(int, fault);
    QFETCH(QString, name);
    QFETCH(int, reached);
    QFETCH(QString, error);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    const QByteArray old = "WEBVTT\n\nthe old document, longer than the new one\n";
    const QByteArray document = "WEBVTT\n\nnew\n";
    QFile file(u"out.vtt"_s);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old));
    file.close();
    QVERIFY(file.link(u"link.vtt"_s));
    if (name == u"hard.vtt")
        std::filesystem::create_hard_link("out.vtt", "hard.vtt");
    const QStringList names = QDir().entryList(QDir::Files | QDir::Hidden | QDir::System);

    injectFault(Fault(fault));
    OutputFile output;
    const bool opened = output.open(resolveOutput(name), name, false);
    const bool committed = opened && output.write(document) && output.commit();
    injectFault(Fault::None);

    QCOMPARE(int(opened) + int(committed), reached);
    const auto match = QRegularExpression(u"^(?:%1)$"_s.arg(error)).match(output.errorString());
    QVERIFY2(committed || match.hasMatch(), qPrintable(output.errorString()));
    const QString kept = match.captured(1);
    QCOMPARE(readFile(kept.isEmpty() ? file.fileName() : kept),
             committed || !kept.isEmpty() ? document : old);
    QVERIFY(kept.isEmpty() || QFile::remove(kept));
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden | QDir::System), names);
}

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_files.moc"
