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
                  corpusArguments(stem) + QStringList{u"--input"_qs, name, u"--output"_qs, output});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), readFile(stem + u".err"_qs));
    QCOMPARE(process.readAllStandardOutput(),
             u"Successfully converted %1 to %2\n"_qs.arg(name, output).toUtf8());
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(readFile(output), readFile(stem + u".vtt"_qs));
}

void tst_Cli::session_data()
{
    QTest::addColumn<QString>("script"); // bash, in a fresh folder holding in.txt; $C is cuefold, r runs it and echoes its status
    QTest::addColumn<QByteArray>("out"); // "{D}" stands for in.txt's document
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<bool>("asRoot"); // needs root to give files away
    QTest::addColumn<bool>("unsanitized"); // limits memory, which the sanitizers reserve

    const QByteArray usage = "Usage: cuefold --input input.txt --output output.vtt\n";
    const QByteArray success = "Successfully converted in.txt to ";
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
    row("usage errors",
        u"r --bogus; r -i in.txt --input in.txt -o x.vtt; r --input in.txt b.txt --output x.vtt; r --fps 28 -i in.txt -o x.vtt; "
        "r --start '00:00:01;00' -i in.txt -o x.vtt; r --max-chars 201 -i in.txt -o x.vtt; r --output-dir out -o x.vtt in.txt; "
        "r --output-dir out - <in.txt; touch f; r --output-dir f/out in.txt; ls"_qs,
        "1\n1\n1\n1\n1\n1\n1\n1\n1\nf\nin.txt\n",
        "cuefold: Unknown option 'bogus'.\n"
        "cuefold: --input given more than once\n"
        "cuefold: unexpected argument 'b.txt'\n"
        "cuefold: --fps takes 23.976, 24, 25, 29.97, 30, 48, 50, 59.94 or 60, not '28'\n"
        "cuefold: --start takes auto or a timecode (HH:MM:SS:FF, or HH:MM:SS;FF at 29.97 and 59.94), not '00:00:01;00'\n"
        "cuefold: --max-chars takes a number from 10 to 200, not '201'\n"
        "cuefold: --output-dir does not go with --input or --output\n"
        "cuefold: standard input cannot be part of a batch\n"
        "cuefold: cannot make the folder f/out\n");
    row("version and help", u"$C --version; $C --help-all | cmp - <($C --help) && echo same"_qs,
        "cuefold " CUEFOLD_VERSION "\nsame\n", "");
    row("paths as typed", u"mkdir sub; cp in.txt sub; $C --input sub/../sub/in.txt --output=./out.vtt; cat out.vtt"_qs,
        "Successfully converted sub/../sub/in.txt to ./out.vtt\n{D}", "");
    row("read and write errors",
        u"r -i absent.txt -o out.vtt; r -i /proc/self/mem -o out.vtt; r -i in.txt -o none/out.vtt; mkdir d.vtt; r -i in.txt -o d.vtt; ls"_qs,
        "1\n1\n1\n1\nd.vtt\nin.txt\n",
        "Error reading input file: No such file or directory\n"
        "Error reading input file: Input/output error\n"
        "Error writing output file: No such file or directory\n"
        "Error writing output file: Filename refers to a directory\n");
    row("regular file under /proc is replaced",
        u"printf '\\xEF\\xBB\\xBFWEBVTT\\n\\nold' >p.vtt; $C -i in.txt -o /proc/self/cwd/p.vtt; $C -i in.txt -o /proc/self/cwd/p.vtt; cat p.vtt"_qs,
        success + "/proc/self/cwd/p.vtt\n" + success + "/proc/self/cwd/p.vtt\n{D}", "");
    row("descriptor alias", u"$C -i in.txt -o /dev/fd/3 >so.txt 3>&1; cat so.txt"_qs, "{D}" + success + "/dev/fd/3\n", "");
    row("descriptor alias appending", u"echo old >so.txt; $C -i in.txt -o /dev/fd/3 >>so.txt 3>&1; cat so.txt"_qs,
        "old\n{D}" + success + "/dev/fd/3\n", "");
    row("link to standard output", u"ln -s /proc/thread-self/fd/1 link.vtt; echo old >so.txt; $C -i in.txt -o link.vtt >>so.txt; cat so.txt; ls"_qs,
        "old\n{D}in.txt\nlink.vtt\nso.txt\n", success + "link.vtt\n");
    row("standard streams", u"$C -i - -o - <in.txt; echo hi | $C -i - -o - --check; "
                            "yes $'00:00:01:00 - 00:00:02:00\\nx' | timeout 10 $C -i - -o - | head -c 8"_qs,
        "{D}WEBVTT\n\nWEBVTT\n\n",
        "Successfully converted - to -\n<stdin>:1: warning: text above the first timing line is dropped\n"
        "cuefold: warning: no timing line found in <stdin>; the document has no cues\nSuccessfully converted - to -\n");
    row("FIFO", u"mkfifo f; cat f >got.txt & $C -i in.txt -o f; wait; cat got.txt; test -p f && echo FIFO"_qs,
        success + "f\n{D}FIFO\n", "");
    row("only WebVTT documents are replaced",
        u"printf 'WEBVTT\\n' >doc.vtt; cp in.txt keep.txt; r --output in.txt --input doc.vtt; cmp in.txt keep.txt && echo kept; "
        "printf WEBVTT >a.vtt; printf 'WEBVTT\\r\\n' >b.vtt; : >c.vtt; printf 'WEBVTTX\\n' >d.vtt; "
        "for f in a b c d; do r -i in.txt -o $f.vtt; done; cat d.vtt; $C -i in.txt -o in.txt --force; cmp in.txt a.vtt && echo forced"_qs,
        "1\nkept\n" + success + "a.vtt\n0\n" + success + "b.vtt\n0\n" + success + "c.vtt\n0\n1\nWEBVTTX\n" + success
                + "in.txt\nforced\n",
        "Error writing output file: in.txt exists and is not a WebVTT document; not replaced (use --force to replace it)\n"
        "Error writing output file: d.vtt exists and is not a WebVTT document; not replaced (use --force to replace it)\n");
    row("links", u"ln -s b.vtt a.vtt; ln -s a.vtt b.vtt; r -i in.txt -o a.vtt; ln -s out.vtt l1.vtt; ln -s l1.vtt l2.vtt; "
                 "$C -i in.txt -o l2.vtt; cat out.vtt; test -L a.vtt && test -L b.vtt && test -L l2.vtt && echo links"_qs,
        "1\n" + success + "l2.vtt\n{D}links\n", "Error writing output file: a.vtt: too many levels of symbolic links\n");
    row("name not UTF-8", u"$C -i in.txt -o $'out\\xe9.vtt'; echo $?; ls"_qs, "1\nin.txt\n",
        "cuefold: 'out\\xE9.vtt' is not valid UTF-8; cuefold takes UTF-8 file names only\n");
    row("owner, group, mode and hard links kept",
        u"for f in owner group mode hard; do printf 'WEBVTT\\n' >$f.vtt; chmod 640 $f.vtt; done; chown nobody owner.vtt; "
        "chgrp nogroup group.vtt; chmod 2640 mode.vtt; ln hard.vtt hard2.vtt; "
        "for f in owner group mode hard; do $C -i in.txt -o $f.vtt; done; stat -c '%n %U:%G %a %h' *.vtt; cat hard2.vtt"_qs,
        success + "owner.vtt\n" + success + "group.vtt\n" + success + "mode.vtt\n" + success + "hard.vtt\n"
                "group.vtt root:nogroup 640 1\nhard.vtt root:root 640 2\nhard2.vtt root:root 640 2\n"
                "mode.vtt root:root 2640 1\nowner.vtt nobody:root 640 1\n{D}", "", true);
    row("failed copy into a linked file", u"printf 'WEBVTT\\n' >out.vtt; ln out.vtt h.vtt; chmod 444 out.vtt; "
                                          "setpriv --bounding-set=-dac_override,-dac_read_search,-fowner $C -i in.txt -o out.vtt; echo $?; cat h.vtt"_qs,
        "1\nWEBVTT\n", "Error writing output file: Permission denied\n", true);
    row("full disk keeps the old file", big + limited + u"-o out.vtt); echo $?; cat out.vtt; echo; ls; "
                                                    "yes $'00:00:01:00 - 00:00:02:00\\nx' | (trap '' XFSZ; ulimit -f 16; exec timeout 10 $C -i - -o y.vtt); echo $?"_qs,
        "1\nWEBVTT\n\nold\nbig.txt\nin.txt\nout.vtt\n1\n",
        "Error writing output file: File too large\nError writing output file: File too large\n");
    row("full disk keeps another owner's file", big + u"chown nobody out.vtt; "_qs + limited + u"-o out.vtt); cat out.vtt; echo; ls"_qs,
        "WEBVTT\n\nold\nbig.txt\nin.txt\nout.vtt\n", "Error writing output file: File too large\n", true);
    row("full disk on standard output", big + limited + u"-o - >so.txt); echo $?"_qs, "1\n",
        "Error writing output file: File too large\n");
    row("strict", u": >none.txt; r -i none.txt -o out.vtt --strict; r -i none.txt -o - --strict; ls"_qs,
        "1\n1\nin.txt\nnone.txt\n",
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n"
        "Error writing output file: out.vtt not written: the transcript has warnings and --strict is given\n"
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n"
        "Error writing output file: - not written: the transcript has warnings and --strict is given\n");
    row("batch", u"printf '\\xff' >bad.txt; : >none.txt; cp in.txt kept.txt; mkdir out; echo x >out/kept.vtt; "
                 "r --output-dir out in.txt bad.txt none.txt kept.txt; ls out; cat out/in.vtt out/kept.vtt"_qs,
        success + "out/in.vtt\nSuccessfully converted none.txt to out/none.vtt\n1\nin.vtt\nkept.vtt\nnone.vtt\n{D}x\n",
        "Error reading input file: bad.txt: invalid UTF-8 on line 1\n"
        "cuefold: warning: no timing line found in none.txt; the document has no cues\n"
        "Error writing output file: out/kept.vtt exists and is not a WebVTT document; not replaced (use --force to replace it)\n");
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
    process.start(u"bash"_qs, {u"-c"_qs, u"r() { \"$C\" \"$@\"; echo $?; }; "_qs + script});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.readAllStandardError(), err);
    QCOMPARE(process.readAllStandardOutput(), out.replace("{D}", document));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
