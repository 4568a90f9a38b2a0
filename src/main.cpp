#include "decoding.h"
#include "files.h"
#include "transcript.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QStringDecoder>
#include <QTextStream>

#include <new>
#include <vector>

namespace {

void print(FILE *stream, const QString &message)
{
    QTextStream(stream) << message;
}

// Qt reads arguments as UTF-8 and would turn other bytes into U+FFFD: such a name would be
// another file's name.
bool checkArgumentsAreUtf8(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView bytes(argv[i]);
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = decoder(bytes);
        if (!decoder.hasError())
            continue;
        QString shown;
        for (const char c : bytes)
            shown += uchar(c) < 0x80 ? QString(QLatin1Char(c)) : u"\\x"_qs + QString::number(uchar(c), 16).toUpper();
        print(stderr, QObject::tr("cuefold: '%1' is not valid UTF-8; cuefold takes UTF-8 file names only\n").arg(shown));
        return false;
    }
    return true;
}

struct Job
{
    QString input;
    QString output;
};

struct Settings
{
    ConversionOptions conversion;
    bool force = false;
    bool batch = false; // messages name the file they are about
};

// Converts one transcript; prints its outcome. A document with no cue is still a document.
bool convert(const Job &job, const Settings &settings)
{
    const auto named = [&settings](const QString &path, const QString &error) {
        return settings.batch && !error.startsWith(path) ? path + u": "_qs + error : error;
    };
    const auto readError = [&](const QString &error) {
        print(stderr, QObject::tr("Error reading input file: %1\n").arg(named(job.input, error)));
        return false;
    };
    const auto writeError = [&](const QString &error) {
        print(stderr, QObject::tr("Error writing output file: %1\n").arg(named(job.output, error)));
        return false;
    };

    QFile input;
    if (!openInput(input, job.input))
        return readError(input.errorString());
    OutputFile output;
    if (!output.open(job.output, settings.force))
        return writeError(output.errorString());

    const ConversionOptions &options = settings.conversion;
    const QString inputName = job.input == u"-" ? u"<stdin>"_qs : job.input;
    int warnings = 0;
    // With --strict nothing may reach an output that is written as the document is made, until
    // the transcript has proved clean.
    const bool holdBack = options.strict && output.isWrittenInPlace();
    QByteArray held;
    TranscriptConverter converter(
            options,
            [&](QByteArrayView bytes) {
                if (!holdBack)
                    return output.write(bytes);
                held.append(bytes);
                return true;
            },
            [&](qint64 line, const QString &message) {
                ++warnings;
                print(stderr, QObject::tr("%1:%2: warning: %3\n").arg(inputName, QString::number(line), message));
            });
    QString error;
    try {
        if (!readTranscript(input, converter, &error))
            return readError(error);
    } catch (const std::bad_alloc &) {
        // A line too long for the memory at hand; the output is left as it was.
        return readError(QObject::tr("not enough memory"));
    }
    if (converter.outputFailed())
        return writeError(output.errorString());
    if (!converter.foundTiming()) {
        ++warnings;
        print(stderr, QObject::tr("cuefold: warning: no timing line found in %1; the document has no cues\n").arg(inputName));
    }
    if (options.strict && warnings > 0)
        return writeError(QObject::tr("%1 not written: the transcript has warnings and --strict is given").arg(job.output));
    if ((holdBack && !output.write(held)) || !output.commit())
        return writeError(output.errorString());

    // A document on standard output stays a clean document: the report goes elsewhere.
    print(output.isStandardOutput() ? stderr : stdout,
          QObject::tr("Successfully converted %1 to %2\n").arg(job.input, job.output));
    return true;
}

// DIR/NAME.vtt for each FILE, refusing two files that would meet in one output.
bool planBatch(const QString &folder, const QStringList &files, QList<Job> *jobs)
{
    if (files.contains(u"-"_qs)) {
        print(stderr, QObject::tr("cuefold: standard input cannot be part of a batch\n"));
        return false;
    }
    QHash<QString, QString> inputOf;
    for (const QString &file : files) {
        const QString output = QDir(folder).filePath(QFileInfo(file).completeBaseName() + u".vtt"_qs);
        const QString key = QDir::cleanPath(QFileInfo(output).absoluteFilePath());
        if (inputOf.contains(key)) {
            print(stderr, QObject::tr("cuefold: %1 and %2 would both be written to %3; nothing converted\n")
                                  .arg(inputOf.value(key), file, output));
            return false;
        }
        inputOf.insert(key, file);
        jobs->append(Job{file, output});
    }
    if (!QDir().mkpath(folder)) {
        print(stderr, QObject::tr("cuefold: cannot make the folder %1\n").arg(folder));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // The help's usage line shows the program's name, not the path it was started by.
    std::vector<char *> arguments(argv, argv + argc);
    char name[] = "cuefold";
    if (argc > 0)
        arguments[0] = name;
    QCoreApplication app(argc, arguments.data());
    QCoreApplication::setApplicationName(QStringLiteral("cuefold"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CUEFOLD_VERSION));
    if (!checkArgumentsAreUtf8(argc, argv))
        return 1;

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Convert HH:MM:SS:FF transcripts into WebVTT"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption inputOption({u"i"_qs, u"input"_qs}, u"Path to the input transcript file"_qs, u"file"_qs);
    const QCommandLineOption outputOption({u"o"_qs, u"output"_qs}, u"Path to the output VTT file"_qs, u"file"_qs);
    const QCommandLineOption folderOption(u"output-dir"_qs, u"Convert each FILE into DIR/NAME.vtt"_qs, u"dir"_qs);
    const QCommandLineOption forceOption(u"force"_qs, u"Replace an existing output that is not a WebVTT document"_qs);
    const QCommandLineOption fpsOption(u"fps"_qs, u"Frame rate: 23.976, 24, 25 (default), 29.97, 30, 48, 50, 59.94 or 60"_qs, u"rate"_qs);
    const QCommandLineOption startOption(u"start"_qs, u"Timecode of the video's first frame, or auto (the hour of the first timing)"_qs, u"timecode"_qs);
    const QCommandLineOption maxCharsOption(u"max-chars"_qs, u"Split passages into cues of lines of at most N characters (10 to 200)"_qs, u"n"_qs);
    const QCommandLineOption maxLinesOption(u"max-lines"_qs, u"At most N lines a cue (1 to 4; default 2)"_qs, u"n"_qs);
    const QCommandLineOption checkOption(u"check"_qs, u"Report what may be wrong with the transcript"_qs);
    const QCommandLineOption strictOption(u"strict"_qs, u"As --check, and write nothing if anything is reported"_qs);
    for (const QCommandLineOption *option : {&inputOption, &outputOption, &folderOption, &forceOption, &fpsOption,
                                             &startOption, &maxCharsOption, &maxLinesOption, &checkOption, &strictOption})
        parser.addOption(*option);
    parser.addPositionalArgument(u"FILE"_qs, u"With --output-dir, the transcripts to convert"_qs,
                                 u"--input FILE --output FILE\n       cuefold [options] --output-dir DIR FILE..."_qs);
    // The framework's own --help-all options mean nothing here.
    if (parser.parse(QCoreApplication::arguments()) && parser.isSet(u"help-all"_qs))
        parser.showHelp(0);
    parser.process(app);

    const auto usageError = [](const QString &message) {
        print(stderr, message);
        return 1;
    };
    for (const QCommandLineOption *option : {&inputOption, &outputOption, &folderOption}) {
        if (parser.values(*option).size() > 1)
            return usageError(QObject::tr("cuefold: --%1 given more than once\n").arg(option->names().constLast()));
    }
    Settings settings;
    settings.force = parser.isSet(forceOption);
    QStringList conversionArguments;
    for (const QCommandLineOption *option : {&fpsOption, &startOption, &maxCharsOption, &maxLinesOption}) {
        if (parser.isSet(*option))
            conversionArguments << u"--"_qs + option->names().constFirst() << parser.value(*option);
    }
    for (const QCommandLineOption *option : {&checkOption, &strictOption}) {
        if (parser.isSet(*option))
            conversionArguments << u"--"_qs + option->names().constFirst();
    }
    const QString optionError = parseConversionOptions(conversionArguments, &settings.conversion);
    if (!optionError.isEmpty())
        return usageError(optionError);

    const QString inputPath = parser.value(inputOption);
    const QString outputPath = parser.value(outputOption);
    const QStringList files = parser.positionalArguments();
    QList<Job> jobs;
    if (parser.isSet(folderOption)) {
        if (parser.isSet(inputOption) || parser.isSet(outputOption))
            return usageError(QObject::tr("cuefold: --output-dir does not go with --input or --output\n"));
        if (files.isEmpty())
            return usageError(QObject::tr("cuefold: --output-dir needs the files to convert\n"));
        settings.batch = true;
        if (!planBatch(parser.value(folderOption), files, &jobs))
            return 1;
    } else {
        if (!files.isEmpty())
            return usageError(QObject::tr("cuefold: unexpected argument '%1'\n").arg(files.constFirst()));
        if (inputPath.isEmpty() || outputPath.isEmpty()) {
            const QString missing = inputPath.isEmpty() && outputPath.isEmpty() ? u"--input and --output"_qs
                    : inputPath.isEmpty()                                    ? u"--input"_qs
                                                                             : u"--output"_qs;
            print(stderr, QObject::tr("cuefold: missing %1\n").arg(missing));
            print(stderr, QObject::tr("Usage: cuefold --input input.txt --output output.vtt\n"));
            parser.showHelp(1);
        }
        jobs.append(Job{inputPath, outputPath});
    }

    bool ok = true;
    for (const Job &job : std::as_const(jobs))
        ok = convert(job, settings) && ok;
    return ok ? 0 : 1;
}
