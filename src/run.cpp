// The run: conversions from input files to output files, and batches of them.
#include "run.h"

#include "files.h"
#include "options.h"
#include "paths.h"
#include "reading.h"
#include "transcript.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QTemporaryFile>
#include <QTextStream>

#include <filesystem>
#include <memory>
#include <new>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Job
{
    QString input;
    QString output;
};

// The failure lines of one job; in a batch they name the file they are about.
struct Failure
{
    const Job &job;
    bool batch;

    QString named(const QString &path, const QString &error) const
    {
        return batch && !error.startsWith(path) ? path + u": "_s + error : error;
    }
    bool reading(const QString &error) const
    {
        print(stderr, QObject::tr("Error reading input file: %1\n").arg(named(job.input, error)));
        return false;
    }
    bool writing(const QString &error) const
    {
        print(stderr, QObject::tr("Error writing output file: %1\n").arg(named(job.output, error)));
        return false;
    }
};

// Returns the one warning it gives.
int warnNoTiming(const QString &inputName, const QString &hint)
{
    print(stderr, QObject::tr("cuefold: warning: no timing line found in %1; "
                              "the document has no cues%2\n")
                          .arg(inputName, hint));
    return 1;
}

// Whether writing `target` would write over the transcript (by any name, "-" too): only a
// regular file can be lost so, and a terminal or socket may well be both.
bool isTranscript(const QString &input, const PathTarget &target)
{
    const QString transcript = input == u"-" ? descriptorPath(0) : input;
    std::error_code error;
    return std::filesystem::is_regular_file(nativePath(transcript), error)
            && isSameFile(transcript, target.file());
}

// Converts one transcript; prints its outcome. A document with no cue is still a document.
bool convert(const Job &job, const Settings &settings)
{
    const Failure failure{job, settings.batch};

    QFile input;
    if (!openInput(input, job.input))
        return failure.reading(input.errorString());
    const PathTarget target = resolveOutput(job.output);
    if (!settings.force && isTranscript(job.input, target))
        return failure.writing(QObject::tr("%1 is the transcript itself; not converted over itself "
                                      "(use --force to do so)")
                                  .arg(job.output));
    // Without --format, the output's name tells it.
    const Format &format = settings.format ? *settings.format : formatForPath(job.output);
    OutputFile output(format);
    if (!output.open(target, job.output, settings.force))
        return failure.writing(output.errorString());

    const QString inputName = job.input == u"-" ? u"<stdin>"_s : job.input;
    int warnings = 0;
    // With --strict nothing may reach an output that is written as the document is made, until
    // the transcript has proved clean; meanwhile the document waits on disk, and not at all once
    // a warning has failed the run.
    std::unique_ptr<QTemporaryFile> held;
    // Its failures name it: they are not the output's.
    const auto heldError = [&held] {
        return QObject::tr("%1 (where the document waits): %2")
                .arg(held->fileName().isEmpty() ? held->fileTemplate() : held->fileName(),
                     held->errorString());
    };
    if (settings.strict && output.isWrittenInPlace()) {
        held = std::make_unique<QTemporaryFile>();
        if (!static_cast<QFile &>(*held).open(QIODevice::ReadWrite | QIODevice::Unbuffered))
            return failure.writing(heldError());
    }
    // Who speaks is told by the transcript as a whole: it is read ahead once for that.
    ConversionOptions conversion = settings.conversion;
    conversion.format = &format;
    QTemporaryFile copy;
    QIODevice *source = &input;
    QString error;
    if (conversion.voices && !conversion.speakers.isListed()
        && !readSpeakers(input, copy, &source, &conversion.speakers, &error, settings.encoding))
        return failure.reading(inputName + u": "_s + error);
    TranscriptConverter converter(
            conversion,
            [&](QByteArrayView bytes) {
                if (!held)
                    return output.write(bytes);
                return warnings > 0 || writeAll(*held, bytes);
            },
            [&](qint64 line, const QString &message) {
                ++warnings;
                print(stderr, QObject::tr("%1:%2: warning: %3\n")
                                      .arg(inputName, QString::number(line), message));
            });
    try {
        if (!readTranscript(*source, converter, &error, settings.encoding))
            return failure.reading(inputName + u": "_s + error);
    } catch (const std::bad_alloc &) {
        // A line too long for the memory at hand; the output is left as it was.
        return failure.reading(QObject::tr("not enough memory"));
    }
    if (converter.outputFailed())
        return failure.writing(held ? heldError() : output.errorString());
    if (!converter.foundTiming())
        warnings += warnNoTiming(inputName, converter.missingTimingHint());
    if (settings.strict && warnings > 0)
        return failure.writing(QObject::tr("%1 not written: the transcript has warnings and "
                                      "--strict is given")
                                  .arg(job.output));
    if ((held && !output.writeFrom(*held)) || !output.commit())
        return failure.writing(output.errorString());

    // A document on standard output stays a clean document: the report goes elsewhere.
    if (!settings.quiet)
        print(output.isStandardOutput() ? stderr : stdout,
              QObject::tr("Successfully converted %1 to %2\n").arg(job.input, job.output));
    return true;
}

// DIR/NAME.vtt (or the extension of the format asked for) for each FILE, refusing two files
// that would meet in one output.
bool planBatch(const QString &folder, const QStringList &files, const Format &format,
               QList<Job> *jobs)
{
    if (files.contains(u"-"_s)) {
        print(stderr, QObject::tr("cuefold: standard input cannot be part of a batch\n"));
        return false;
    }
    const auto collision = [](const Job &a, const Job &b) {
        print(stderr, QObject::tr("cuefold: %1 and %2 would both be written to %3; "
                                  "nothing converted\n")
                              .arg(a.input, b.input, b.output));
        return false;
    };
    QHash<QString, qsizetype> jobOf; // by the file each output leads to
    QList<QString> linked; // the outputs that have other names
    for (const QString &file : files) {
        // A leading-dot name (".notes") has no extension to replace.
        const QFileInfo info(file);
        const QString stem = info.completeBaseName().isEmpty() ? info.fileName()
                                                                : info.completeBaseName();
        const Job job{file, QDir(folder).filePath(stem + format.extension.toString())};
        const QString key = resolveOutput(job.output).file();
        if (jobOf.contains(key))
            return collision(jobs->at(jobOf.value(key)), job);
        // Hard links are rare: only they are compared with each other.
        if (hasOtherNames(key)) {
            for (const QString &other : std::as_const(linked)) {
                if (isSameFile(other, key))
                    return collision(jobs->at(jobOf.value(other)), job);
            }
            linked.append(key);
        }
        jobOf.insert(key, jobs->size());
        jobs->append(job);
    }
    if (!QDir().mkpath(folder)) {
        print(stderr, QObject::tr("cuefold: cannot make the folder %1\n").arg(folder));
        return false;
    }
    return true;
}

} // namespace

void print(FILE *stream, const QString &message)
{
    QTextStream(stream) << message;
}

int run(const Settings &settings)
{
    QList<Job> jobs;
    if (!settings.batch)
        jobs.append(Job{settings.input, settings.output});
    else if (!planBatch(settings.folder, settings.files,
                        settings.format ? *settings.format : defaultFormat(), &jobs))
        return 1;
    bool ok = true;
    for (const Job &job : std::as_const(jobs))
        ok = convert(job, settings) && ok;
    return ok ? 0 : 1;
}
