#include "corpus.h"

#include <QProcess>
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

static const QByteArray document = "WEBVTT\n\n00:00:01.000 --> 00:00:02.480\n<v Speaker>Hello\n\n";

void tst_Cli::corpus_data()
{
    addCorpusRows();
}

// Each transcript, with its options, gives its document and exactly its report.
void tst_Cli::corpus()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString stem = QStringLiteral(CUEFOLD_CORPUS "/") + name.chopped(4);
    const QString output = dir.filePath(u"out.vtt"_qs);
    QProcess process;
    process.setWorkingDirectory(QStringLiteral(CUEFOLD_CORPUS));
    process.start(QStringLiteral(CUEFOLD_BINARY),
                  QString::fromUtf8(readFile(stem + u".args"_qs)).split(u' ', Qt::SkipEmptyParts).replaceInStrings(u"\n"_qs, QString())
                          + QStringList{u"--input"_qs, name, u"--output"_qs, output});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), readFile(stem + u".err"_qs));
    QCOMPARE(process.readAllStandardOutput(), u"Successfully converted %1 to %2\n"_qs.arg(name, output).toUtf8());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(readFile(output), readFile(stem + u".vtt"_qs));
}

void tst_Cli::session_data()
{
    QTest::addColumn<QString>("script"); // bash, in a fresh folder holding in.txt; $C is cuefold
    QTest::addColumn<QByteArray>("out"); // "{D}" stands for in.txt's document
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<bool>("asRoot"); // needs root to give files away
    QTest::addColumn<bool>("unsanitized"); // limits memory, which the sanitizers reserve

    const QByteArray usage = "Usage: cuefold --input input.txt --output output.vtt\n";
    const QByteArray success = "Successfully converted in.txt to ";
    const QByteArray notWebVtt = "Error writing output file: in.txt exists and is not a WebVTT document; not replaced (use --force to replace it)\n";
    const QString big = u"{ echo 00:00:01:00 - 00:00:02:00; head -c 100000 /dev/zero | tr '\\0' x; } >big.txt; "
                        "printf 'WEBVTT\\n\\nold' >out.vtt; "_qs;
    const QString limited = u"(trap '' XFSZ; ulimit -f 16; exec $C -i big.txt "_qs;
    const auto row = [](const char *name, const QString &script, const QByteArray &out, const QByteArray &err,
                        bool asRoot = false, bool unsanitized = false) {
        QTest::newRow(name) << script << out << err << asRoot << unsanitized;
    };

    row("nothing given", u"$C >help.txt; echo $?; $C --help | cmp - help.txt && echo help"_qs, "1\nhelp\n",
        "cuefold: missing --input and --output\n" + usage);
    row("no output", u"$C -i in.txt >help.txt; echo $?"_qs, "1\n", "cuefold: missing --output\n" + usage);
    row("empty input", u"$C --input= -o out.vtt >help.txt; echo $?; ls"_qs, "1\nhelp.txt\nin.txt\n",
        "cuefold: missing --input\n" + usage);
    row("unknown option", u"$C --bogus; echo $?"_qs, "1\n", "cuefold: Unknown option 'bogus'.\n");
    row("version", u"$C --version"_qs, "cuefold " CUEFOLD_VERSION "\n", "");
    row("help-all shows no framework options", u"$C --help-all | cmp - <($C --help) && echo same"_qs, "same\n", "");
    row("unexpected argument", u"$C --input in.txt b.txt --output x.vtt; echo $?; ls"_qs, "1\nin.txt\n",
        "cuefold: unexpected argument 'b.txt'\n");
    row("option twice", u"$C -i in.txt --input in.txt -o x.vtt; echo $?"_qs, "1\n",
        "cuefold: --input given more than once\n");
    row("rate out of range", u"$C --fps 28 -i in.txt -o x.vtt; echo $?"_qs, "1\n",
        "cuefold: --fps takes 23.976, 24, 25, 29.97, 30, 48, 50, 59.94 or 60, not '28'\n");
    row("batch and single forms mixed", u"$C --output-dir out -i in.txt; echo $?"_qs, "1\n",
        "cuefold: --output-dir does not go with --input or --output\n");
    row("paths as typed", u"mkdir sub; cp in.txt sub; $C --input sub/../sub/in.txt --output=./out.vtt; cat out.vtt"_qs,
        "Successfully converted sub/../sub/in.txt to ./out.vtt\n{D}", "");
    row("missing input", u"$C -i absent.txt -o out.vtt; echo $?; ls"_qs, "1\nin.txt\n",
        "Error reading input file: No such file or directory\n");
    row("read error after opening", u"$C -i /proc/self/mem -o out.vtt; echo $?; ls"_qs, "1\nin.txt\n",
        "Error reading input file: Input/output error\n");
    row("no such folder", u"$C -i in.txt -o none/out.vtt; echo $?"_qs, "1\n",
        "Error writing output file: No such file or directory\n");
    row("regular file under /proc is replaced",
        u"printf '\\xEF\\xBB\\xBFWEBVTT\\n\\nold' >p.vtt; $C -i in.txt -o /proc/self/cwd/p.vtt; $C -i in.txt -o /proc/self/cwd/p.vtt; cat p.vtt"_qs,
        success + "/proc/self/cwd/p.vtt\n" + success + "/proc/self/cwd/p.vtt\n{D}", "");
    row("descriptor alias", u"$C -i in.txt -o /dev/fd/3 >so.txt 3>&1; cat so.txt"_qs, "{D}" + success + "/dev/fd/3\n", "");
    row("descriptor alias appending", u"echo old >so.txt; $C -i in.txt -o /dev/fd/3 >>so.txt 3>&1; cat so.txt"_qs,
        "old\n{D}" + success + "/dev/fd/3\n", "");
    row("link to standard output", u"ln -s /proc/thread-self/fd/1 link.vtt; echo old >so.txt; $C -i in.txt -o link.vtt >>so.txt; cat so.txt; ls"_qs,
        "old\n{D}in.txt\nlink.vtt\nso.txt\n", success + "link.vtt\n");
    row("standard streams", u"$C -i - -o - <in.txt"_qs, "{D}", "Successfully converted - to -\n");
    row("FIFO", u"mkfifo f; cat f >got.txt & $C -i in.txt -o f; wait; cat got.txt; test -p f && echo FIFO"_qs,
        success + "f\n{D}FIFO\n", "");
    row("swapped options", u"printf 'WEBVTT\\n' >doc.vtt; cp in.txt keep.txt; $C --output in.txt --input doc.vtt; echo $?; cmp in.txt keep.txt && echo kept"_qs,
        "1\nkept\n", notWebVtt);
    row("--force", u"$C -i in.txt -o in.txt --force; cat in.txt"_qs, success + "in.txt\n{D}", "");
    row("link loop", u"ln -s b.vtt a.vtt; ln -s a.vtt b.vtt; $C -i in.txt -o a.vtt; echo $?; test -L a.vtt && test -L b.vtt && echo links"_qs,
        "1\nlinks\n", "Error writing output file: a.vtt: too many levels of symbolic links\n");
    row("name not UTF-8", u"$C -i in.txt -o $'out\\xe9.vtt'; echo $?; ls"_qs, "1\nin.txt\n",
        "cuefold: 'out\\xE9.vtt' is not valid UTF-8; cuefold takes UTF-8 file names only\n");
    row("owner, mode and hard link kept",
        u"printf 'WEBVTT\\n' >own.vtt; chown nobody:nogroup own.vtt; chmod 2640 own.vtt; ln own.vtt hard.vtt; "
        "$C -i in.txt -o own.vtt; stat -c '%U:%G %a %h' own.vtt; cat hard.vtt; ls"_qs,
        success + "own.vtt\nnobody:nogroup 2640 2\n{D}hard.vtt\nin.txt\nown.vtt\n", "", true);
    row("full disk keeps the old file", big + limited + u"-o out.vtt); echo $?; cat out.vtt; echo; ls"_qs,
        "1\nWEBVTT\n\nold\nbig.txt\nin.txt\nout.vtt\n", "Error writing output file: File too large\n");
    row("full disk keeps another owner's file", big + u"chown nobody out.vtt; "_qs + limited + u"-o out.vtt); cat out.vtt; echo; ls"_qs,
        "WEBVTT\n\nold\nbig.txt\nin.txt\nout.vtt\n", "Error writing output file: File too large\n", true);
    row("full disk on standard output", big + limited + u"-o - >so.txt); echo $?"_qs, "1\n",
        "Error writing output file: File too large\n");
    row("strict", u": >none.txt; $C -i none.txt -o out.vtt --strict; $C -i none.txt -o - --strict; echo $?; ls"_qs,
        "1\nin.txt\nnone.txt\n",
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n"
        "Error writing output file: out.vtt not written: the transcript has warnings and --strict is given\n"
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n"
        "Error writing output file: - not written: the transcript has warnings and --strict is given\n");
    row("batch", u"printf '\\xff' >bad.txt; echo none >none.txt; $C --output-dir out in.txt bad.txt none.txt; echo $?; ls out; cat out/in.vtt"_qs,
        success + "out/in.vtt\nSuccessfully converted none.txt to out/none.vtt\n1\nin.vtt\nnone.vtt\n{D}",
        "Error reading input file: bad.txt: invalid UTF-8 on line 1\n"
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n");
    row("batch meeting in one output", u"cp in.txt in.md; $C --output-dir out in.txt in.md; echo $?; ls"_qs,
        "1\nin.md\nin.txt\n", "cuefold: in.txt and in.md would both be written to out/in.vtt; nothing converted\n");
    row("not enough memory", u"echo 00:00:01:00 - 00:00:02:00 >huge.txt; truncate -s 1G huge.txt; printf 'WEBVTT\\n' >out.vtt; "
                             "(ulimit -v 300000; exec $C -i huge.txt -o out.vtt); echo $?; ls; cat out.vtt"_qs,
        "1\nhuge.txt\nin.txt\nout.vtt\nWEBVTT\n", "Error reading input file: not enough memory\n", false, true);
    row("constant memory", u"truncate -s 100G sparse.txt; $C -i sparse.txt -o out.vtt & sleep 1; "
                           "a=$(awk '/VmRSS/ { print $2 }' /proc/$!/status); sleep 2; b=$(awk '/VmRSS/ { print $2 }' /proc/$!/status); "
                           "kill $!; [ $((b - a)) -lt 1024 ] && echo flat"_qs,
        "flat\n", "", false, true);
}

void tst_Cli::session()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(bool, asRoot);
    QFETCH(bool, unsanitized);
#ifdef CUEFOLD_SANITIZED
    if (unsanitized)
        QSKIP("the sanitizers reserve more memory than the limit");
#else
    Q_UNUSED(unsanitized);
#endif
    QTemporaryDir dir;
    if (asRoot && QFileInfo(dir.path()).ownerId() != 0)
        QSKIP("needs root");
    QFile input(dir.filePath(u"in.txt"_qs));
    QVERIFY(input.open(QIODevice::WriteOnly) && input.write("00:00:01:00 - 00:00:02:12\nHello\n") > 0);
    input.close();
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"C"_qs, QStringLiteral(CUEFOLD_BINARY));
    process.setProcessEnvironment(environment);
    process.start(u"bash"_qs, {u"-c"_qs, script});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), err);
    QCOMPARE(process.readAllStandardOutput(), out.replace("{D}", document));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
