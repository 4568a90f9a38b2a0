#include "corpus.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// What a user sees, through the real binary: messages, exit statuses, files on disk.
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void corpus_data();
    void corpus();
    void session_data();
    void session();
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
    const QString output = dir.filePath(u"out.vtt"_qs);
    QProcess process;
    process.setWorkingDirectory(QStringLiteral(CUEFOLD_CORPUS));
    process.start(QStringLiteral(CUEFOLD_BINARY),
                  corpusArguments(stem) + QStringList{u"--input"_qs, name, u"--output"_qs, output});
    QVERIFY(process.waitForFinished(60000));
    const bool written = QFile::exists(stem + u".vtt"_qs);
    QCOMPARE(process.readAllStandardError(), readFile(stem + u".err"_qs));
    QCOMPARE(process.readAllStandardOutput(),
             written ? u"Successfully converted %1 to %2\n"_qs.arg(name, output).toUtf8() : "");
    QCOMPARE(process.exitCode(), written ? 0 : 1);
    QCOMPARE(QFile::exists(output), written);
    QCOMPARE(readFile(output), readFile(stem + u".vtt"_qs));
}

void tst_Cli::session_data()
{
    addFileRows(QStringLiteral(CUEFOLD_SESSIONS), u"*.t"_qs);
}

// Runs the commands ($2...) in a folder ($0) holding in.txt and writes what they give in the
// session file's form, for diff to compare with the file ($1) and name the command at a change.
static const char sessionScript[] = R"(exec 2>&1; cd "$0" || exit
export LC_ALL=C VERSION=)" CUEFOLD_VERSION R"( PATH="$(dirname ')" CUEFOLD_BINARY R"('):$PATH"
printf '00:00:01:00 - 00:00:02:12\nHello\n' >in.txt
diff -u -F '^\$ ' --label expected --label actual <(printf %s "$1") <(shift; exec 2>&1
    for _c; do
        printf '$ %s\n' "${_c//$'\n'/$'\n'> }"
        eval "$_c"
        _s=$?; ((_s)) && echo "[$_s]"
    done))";

// A session file (format in README.md) gives each command's output and status.
void tst_Cli::session()
{
    QFETCH(QString, name);
    const QString text = QString::fromUtf8(readFile(QStringLiteral(CUEFOLD_SESSIONS "/") + name));
    QStringList blocks = text.split(QRegularExpression(u"(?m)^\\$ "_qs));
    const QString header = blocks.takeFirst();
    QTemporaryDir dir;
    static const QRegularExpression needsLine(u"(?m)^# needs: (.*)$"_qs);
    const QStringList needs =
            needsLine.match(header).captured(1).split(u", "_qs, Qt::SkipEmptyParts);
    if (needs.contains(u"root") && QFileInfo(dir.path()).ownerId() != 0)
        QSKIP("needs root");
    if (needs.contains(u"protected-links")
        && readFile(u"/proc/sys/fs/protected_symlinks"_qs).trimmed() != "1")
        QSKIP("needs the system's protection of links in shared folders");
#ifdef CUEFOLD_SANITIZED
    if (needs.contains(u"unsanitized"))
        QSKIP("the sanitizers reserve memory");
#endif
    QStringList arguments{u"-c"_qs, QString::fromUtf8(sessionScript), dir.path(),
                          text.mid(header.size())};
    for (const QString &block : std::as_const(blocks)) {
        const qsizetype end = block.indexOf(QRegularExpression(u"\n(?!> )"_qs));
        arguments << block.left(end).replace(u"\n> "_qs, u"\n"_qs);
    }
    QProcess bash;
    bash.start(u"bash"_qs, arguments, QIODevice::ReadOnly);
    QVERIFY(bash.waitForFinished(120000));
    QVERIFY2(bash.exitCode() == 0, bash.readAll().constData());
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
