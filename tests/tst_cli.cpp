#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Runs the real binary in a fresh folder and looks at what a user sees.
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void usage_data();
    void usage();
    void help();
    void failures_data();
    void failures();
    void success();
    void sameInputAndOutput();
    void keepsLinkAndPermissions();
    void fifoOutputIsWrittenInPlace();
    void standardOutputKeepsItsFile();
    void writeFailureKeepsOldOutput();
    void readsPipe();
    void hostileInput_data();
    void hostileInput();

private:
    struct Run
    {
        int status = -1;
        QByteArray out;
        QByteArray err;
    };
    Run run(const QStringList &arguments, const QByteArray &input = QByteArray(),
            const QString &program = QStringLiteral(CUEFOLD_BINARY));
    Run runLimited(const QStringList &arguments, int fileSizeBlocks);
    void write(const QString &name, const QByteArray &bytes);
    QByteArray read(const QString &name);
    QStringList entries();

    std::unique_ptr<QTemporaryDir> dir;
};

static const QByteArray transcript = "00:00:01:00 - 00:00:02:12\nHello\n";
static const QByteArray document = "WEBVTT\n\n00:00:01.000 --> 00:00:02.480\n<v Speaker>Hello\n\n";
static const QByteArray usageLine = "Usage: cuefold --input input.txt --output output.vtt\n";

void tst_Cli::init()
{
    dir.reset(new QTemporaryDir);
    QVERIFY(dir->isValid());
}

tst_Cli::Run tst_Cli::run(const QStringList &arguments, const QByteArray &input,
                          const QString &program)
{
    QProcess process;
    process.setWorkingDirectory(dir->path());
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Writes fail past the limit instead of killing the process, as on a full disk.
tst_Cli::Run tst_Cli::runLimited(const QStringList &arguments, int fileSizeBlocks)
{
    const QString script = QStringLiteral("trap '' XFSZ; ulimit -f %1; exec \"$0\" \"$@\"").arg(fileSizeBlocks);
    return run(QStringList{QStringLiteral("-c"), script, QStringLiteral(CUEFOLD_BINARY)} + arguments,
               QByteArray(), QStringLiteral("bash"));
}

void tst_Cli::write(const QString &name, const QByteArray &bytes)
{
    QFile file(dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray tst_Cli::read(const QString &name)
{
    QFile file(dir->filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList tst_Cli::entries()
{
    return QDir(dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                                       QDir::Name);
}

void tst_Cli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("input only") << QStringList{u"--input"_qs, u"in.txt"_qs};
    QTest::newRow("output only") << QStringList{u"--output"_qs, u"out.vtt"_qs};
    QTest::newRow("empty input") << QStringList{u"--input="_qs, u"--output"_qs, u"out.vtt"_qs};
}

void tst_Cli::usage()
{
    QFETCH(QStringList, arguments);
    write(u"in.txt"_qs, transcript);
    const Run result = run(arguments);
    QCOMPARE(result.status, 1);
    QCOMPARE(result.err, usageLine);
    QCOMPARE(result.out, run({u"--help"_qs}).out);
    QCOMPARE(entries(), QStringList{u"in.txt"_qs});
}

void tst_Cli::help()
{
    const Run result = run({u"--help"_qs});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err, QByteArray());
    QVERIFY(result.out.startsWith("Usage: "));
    QVERIFY(result.out.contains("Convert HH:MM:SS:FF transcripts into WebVTT\n"));
    QVERIFY(result.out.contains("--input <file>"));
    QVERIFY(result.out.contains("Path to the output VTT file"));

    const Run unknown = run({u"--bogus"_qs});
    QCOMPARE(unknown.status, 1);
    QCOMPARE(unknown.err, QByteArray("cuefold: Unknown option 'bogus'.\n"));
}

void tst_Cli::failures_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("missing input") << QStringList{u"--input"_qs, u"absent.txt"_qs, u"--output"_qs, u"out.vtt"_qs}
                                   << QByteArray("Error reading input file: No such file or directory\n");
    QTest::newRow("folder as input") << QStringList{u"--input"_qs, u"."_qs, u"--output"_qs, u"out.vtt"_qs}
                                     << QByteArray("Error reading input file: file to open is a directory\n");
    QTest::newRow("invalid UTF-8") << QStringList{u"--input"_qs, u"latin1.txt"_qs, u"--output"_qs, u"out.vtt"_qs}
                                   << QByteArray("Error reading input file: invalid UTF-8 on line 3\n");
    QTest::newRow("no such folder") << QStringList{u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"none/out.vtt"_qs}
                                    << QByteArray("Error writing output file: No such file or directory\n");
    QTest::newRow("folder as output") << QStringList{u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"sub"_qs}
                                      << QByteArray("Error writing output file: Is a directory\n");
}

void tst_Cli::failures()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    write(u"in.txt"_qs, transcript);
    write(u"latin1.txt"_qs, "00:00:01:00 - 00:00:02:00\r\nok\r\ncaf\xE9\r\n");
    write(u"out.vtt"_qs, "old");
    QVERIFY(QDir(dir->path()).mkdir(u"sub"_qs));
    const Run result = run(arguments);
    QCOMPARE(result.err, message);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.status, 1);
    QCOMPARE(read(u"out.vtt"_qs), QByteArray("old"));
    QCOMPARE(entries(), (QStringList{u"in.txt"_qs, u"latin1.txt"_qs, u"out.vtt"_qs, u"sub"_qs}));
}

void tst_Cli::success()
{
    QVERIFY(QDir(dir->path()).mkdir(u"sub"_qs));
    write(u"sub/in.txt"_qs, transcript);
    const Run result = run({u"--input"_qs, u"sub/../sub/in.txt"_qs, u"--output=./out.vtt"_qs});
    QCOMPARE(result.out, QByteArray("Successfully converted sub/../sub/in.txt to ./out.vtt\n"));
    QCOMPARE(result.err, QByteArray());
    QCOMPARE(result.status, 0);
    QCOMPARE(read(u"out.vtt"_qs), document);
    // A new file gets the permissions any new file gets here (0666 less the umask).
    QCOMPARE(QFileInfo(dir->filePath(u"out.vtt"_qs)).permissions(),
             QFileInfo(dir->filePath(u"sub/in.txt"_qs)).permissions());

    // The bundled example converts to its bundled result.
    const QString example = QStringLiteral(CUEFOLD_EXAMPLES "/interview");
    QCOMPARE(run({u"--input"_qs, example + u".txt"_qs, u"--output"_qs, u"example.vtt"_qs}).status, 0);
    QFile expected(example + u".vtt"_qs);
    QVERIFY(expected.open(QIODevice::ReadOnly));
    QCOMPARE(read(u"example.vtt"_qs), expected.readAll());
}

void tst_Cli::sameInputAndOutput()
{
    write(u"both.txt"_qs, transcript);
    QCOMPARE(run({u"--input"_qs, u"both.txt"_qs, u"--output"_qs, u"both.txt"_qs}).status, 0);
    QCOMPARE(read(u"both.txt"_qs), document);
}

void tst_Cli::keepsLinkAndPermissions()
{
    write(u"in.txt"_qs, transcript);
    write(u"target.vtt"_qs, "old");
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(dir->filePath(u"target.vtt"_qs), permissions));
    QVERIFY(QFile::link(u"target.vtt"_qs, dir->filePath(u"link.vtt"_qs)));

    QCOMPARE(run({u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"link.vtt"_qs}).status, 0);
    QVERIFY(QFileInfo(dir->filePath(u"link.vtt"_qs)).isSymLink());
    QCOMPARE(read(u"target.vtt"_qs), document);
    QCOMPARE(QFileInfo(dir->filePath(u"target.vtt"_qs)).permissions() & 0x7077, permissions);
    QCOMPARE(entries(), (QStringList{u"in.txt"_qs, u"link.vtt"_qs, u"target.vtt"_qs}));
}

void tst_Cli::fifoOutputIsWrittenInPlace()
{
    write(u"in.txt"_qs, transcript);
    const QString fifo = dir->filePath(u"out.fifo"_qs);
    QCOMPARE(QProcess::execute(u"mkfifo"_qs, {fifo}), 0);

    QProcess process;
    process.setWorkingDirectory(dir->path());
    process.start(QStringLiteral(CUEFOLD_BINARY), {u"--input"_qs, u"in.txt"_qs, u"--output"_qs, fifo});
    QFile reader(fifo);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QCOMPARE(reader.readAll(), document);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo(fifo).isFile());
    QCOMPARE(entries(), (QStringList{u"in.txt"_qs, u"out.fifo"_qs}));
}

// Replacing the file behind a shell's ">>" would throw away what it held. (A name under /proc,
// not /dev, so that no fault here can ever replace a device node.)
void tst_Cli::standardOutputKeepsItsFile()
{
    write(u"in.txt"_qs, transcript);
    write(u"log.txt"_qs, "old\n");
    QProcess process;
    process.setWorkingDirectory(dir->path());
    process.setStandardOutputFile(dir->filePath(u"log.txt"_qs), QIODevice::Append);
    process.start(QStringLiteral(CUEFOLD_BINARY), {u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"/proc/self/fd/1"_qs});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(read(u"log.txt"_qs), "old\n" + document + "Successfully converted in.txt to /proc/self/fd/1\n");
}

void tst_Cli::writeFailureKeepsOldOutput()
{
    QByteArray big = "00:00:01:00 - 00:00:02:00\n";
    big += QByteArray(64 * 1024, 'x');
    write(u"in.txt"_qs, big);
    write(u"out.vtt"_qs, "old");
    const Run result = runLimited({u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"out.vtt"_qs}, 16);
    QCOMPARE(result.err, QByteArray("Error writing output file: File too large\n"));
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.status, 1);
    QCOMPARE(read(u"out.vtt"_qs), QByteArray("old"));
    QCOMPARE(entries(), (QStringList{u"in.txt"_qs, u"out.vtt"_qs}));
}

void tst_Cli::readsPipe()
{
    const Run result = run({u"--input"_qs, u"/dev/stdin"_qs, u"--output"_qs, u"out.vtt"_qs},
                           "\xEF\xBB\xBF" + transcript);
    QCOMPARE(result.status, 0);
    QCOMPARE(read(u"out.vtt"_qs), document);
}

// Whatever the bytes, a valid document or a clear error, never a crash or a hang.
void tst_Cli::hostileInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output"); // the document, or the error line

    const QByteArray header = "WEBVTT\n\n";
    const QByteArray timing = "00:00:01:00 - 00:00:02:00\n";
    // A 1x1 PNG image.
    const QByteArray png = QByteArray::fromHex(
            "89504e470d0a1a0a0000000d49484452000000010000000108060000001f15c489"
            "0000000d49444154789c63f8cfc0f01f0005000201a4d5b3d30000000049454e44ae426082");

    QTest::newRow("100 MB without a line break") << QByteArray("word ").repeated(20'000'000) << 0 << header;
    QTest::newRow("NUL bytes") << timing + QByteArray("a\0b\n\0\n", 6) << 0
                               << header + QByteArray("00:00:01.000 --> 00:00:02.000\n<v Speaker>a\0b \0\n\n", 48);
    QTest::newRow("image") << png << 1 << QByteArray("Error reading input file: invalid UTF-8 on line 1\n");
    QTest::newRow("only timing lines") << timing.repeated(1'000'000) << 0 << header;
    QTest::newRow("a million blank lines") << timing + QByteArray(" \t\r\n").repeated(1'000'000) + "end" << 0
                                           << header + "00:00:01.000 --> 00:00:02.000\n<v Speaker>end\n\n";
}

void tst_Cli::hostileInput()
{
    QFETCH(QByteArray, input);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    write(u"in.txt"_qs, input);
    const Run result = run({u"--input"_qs, u"in.txt"_qs, u"--output"_qs, u"out.vtt"_qs});
    QCOMPARE(result.status, status);
    QCOMPARE(status == 0 ? read(u"out.vtt"_qs) : result.err, output);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
