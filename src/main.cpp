#include "decoding.h"
#include "transcript.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTextStream>

namespace {

// Encodes the document a slice at a time, so that no whole UTF-8 copy is ever held.
bool writeDocument(QFileDevice &file, const QString &document)
{
    // Buffers stay below the allocator's threshold for a fresh mapping: most transcripts are
    // small, and their run time is mostly start-up.
    constexpr qsizetype sliceLength = 1 << 15;
    QStringEncoder encoder(QStringConverter::Utf8);
    QByteArray buffer(encoder.requiredSpace(sliceLength), Qt::Uninitialized);
    for (qsizetype from = 0; from < document.size(); from += sliceLength) {
        const QStringView slice = QStringView(document).mid(from, sliceLength);
        const char *end = encoder.appendToBuffer(buffer.data(), slice);
        // A short write is retried: the retry is what reports the error (disk full).
        for (const char *data = buffer.constData(); data < end;) {
            const qint64 written = file.write(data, end - data);
            if (written <= 0)
                return false;
            data += written;
        }
    }
    return file.error() == QFileDevice::NoError;
}

bool isStandardOutput(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return absolute == u"/dev/stdout" || absolute == u"/dev/fd/1" || absolute == u"/proc/self/fd/1";
}

// Devices, FIFOs and the names of open descriptors (/dev/fd/3) are written in place: replacing
// them would destroy a device, or cut a file loose from the descriptor that names it.
bool isWrittenInPlace(const QString &path)
{
    QFileInfo info(path);
    for (int links = 0; links < 40; ++links) {
        const QString absolute = info.absoluteFilePath();
        if (absolute.startsWith(u"/dev/") || absolute.startsWith(u"/proc/"))
            return true;
        if (!info.isSymLink())
            break;
        info.setFile(info.symLinkTarget());
    }
    return info.exists() && !info.isFile();
}

// A regular file, or one yet to be made, is replaced whole or not at all.
bool saveDocument(const QString &path, const QString &document, QString *error)
{
    if (isWrittenInPlace(path)) {
        // Standard output is written through its own stream, so that the success line
        // comes after the document; anything else is appended to, never truncated.
        QFile file(path);
        const bool opened = isStandardOutput(path) ? file.open(stdout, QIODevice::WriteOnly)
                                                   : file.open(QIODevice::WriteOnly | QIODevice::Append);
        if (opened && writeDocument(file, document) && file.flush())
            return true;
        *error = file.errorString();
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && writeDocument(file, document)
        && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

bool readTranscript(const QString &path, QString *transcript, QString *error)
{
    // Bytes, not text mode: text mode would delete every carriage return. The bytes go
    // through one small buffer, so that only the decoded text is ever held whole.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    TranscriptDecoder decoder(file.isSequential() ? 0 : file.size());
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qint64 length;
    while ((length = file.read(buffer.data(), buffer.size())) > 0) {
        if (!decoder.decode(QByteArrayView(buffer.constData(), length)))
            break;
    }
    if (length < 0) {
        *error = file.errorString();
        return false;
    }
    if (!decoder.finish()) {
        *error = decoder.error();
        return false;
    }
    *transcript = decoder.takeText();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cuefold"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Convert HH:MM:SS:FF transcripts into WebVTT"));
    parser.addHelpOption();
    const QCommandLineOption inputOption(QStringList{QStringLiteral("input")},
                                         QStringLiteral("Path to the input transcript file"),
                                         QStringLiteral("file"));
    const QCommandLineOption outputOption(QStringList{QStringLiteral("output")},
                                          QStringLiteral("Path to the output VTT file"),
                                          QStringLiteral("file"));
    parser.addOption(inputOption);
    parser.addOption(outputOption);
    parser.process(app);

    const QString inputPath = parser.value(inputOption);
    const QString outputPath = parser.value(outputOption);
    if (inputPath.isEmpty() || outputPath.isEmpty()) {
        QTextStream(stderr) << QObject::tr("Usage: cuefold --input input.txt --output output.vtt\n");
        parser.showHelp(1);
    }

    QString transcript;
    QString error;
    if (!readTranscript(inputPath, &transcript, &error)) {
        QTextStream(stderr) << QObject::tr("Error reading input file: %1\n").arg(error);
        return 1;
    }

    const QString document = convertTranscript(transcript);
    transcript.clear();

    if (!saveDocument(outputPath, document, &error)) {
        QTextStream(stderr) << QObject::tr("Error writing output file: %1\n").arg(error);
        return 1;
    }

    QTextStream(stdout) << QObject::tr("Successfully converted %1 to %2\n").arg(inputPath, outputPath);
    return 0;
}
