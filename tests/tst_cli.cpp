#include "corpus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// What a user sees, through the real binary: documents, reports and exit statuses (the shell
// sessions, session.sh, show the rest).
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
};

void tst_Cli::corpus_data()
{
    addFileRows();
}

// Each transcript, with its options, gives its document and exactly its report; one with no
// document is refused, and nothing is written.
void tst_Cli::corpus()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString stem = QStringLiteral(CUEFOLD_CORPUS "/") + name.chopped(4);
    const QString output = dir.filePath(u"out.vtt"_s);
    QProcess process;
    process.setWorkingDirectory(QStringLiteral(CUEFOLD_CORPUS));
    process.start(QStringLiteral(CUEFOLD_BINARY),
                  corpusArguments(stem) + QStringList{u"--input"_s, name, u"--output"_s, output});
    QVERIFY(process.waitForFinished(60000));
    const bool written = QFile::exists(stem + u".vtt"_s);
    QCOMPARE(process.readAllStandardError(), readFile(stem + u".err"_s));
    QCOMPARE(process.readAllStandardOutput(),
             written ? u"Successfully converted %1 to %2\n"_s.arg(name, output).toUtf8() : "");
    QCOMPARE(process.exitCode(), written ? 0 : 1);
    QCOMPARE(QFile::exists(output), written);
    QCOMPARE(readFile(output), readFile(stem + u".vtt"_s));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
