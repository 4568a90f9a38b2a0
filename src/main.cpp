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

// A regular file, or one yet to be made, is replaced whole or not at all. Anything else
// (a FIFO, a terminal, a device) is written in place: replacing it would destroy it.
QString saveDocument(const QString &path, const QString &document)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            || !writeDocument(file, document) || !file.flush())
            return file.errorString();
        return QString();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !writeDocument(file, document) || !file.commit())
        return file.errorString();
    return QString();
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
    {
        // Bytes, not text mode: text mode would delete every carriage return. The bytes go
        // through one small buffer, so that only the decoded text is ever held whole.
        QFile inputFile(inputPath);
        QString error;
        if (inputFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            TranscriptDecoder decoder(inputFile.isSequential() ? 0 : inputFile.size());
            QByteArray buffer(1 << 16, Qt::Uninitialized);
            qint64 length;
            while ((length = inputFile.read(buffer.data(), buffer.size())) > 0) {
                if (!decoder.decode(QByteArrayView(buffer.constData(), length)))
                    break;
            }
            if (length < 0)
                error = inputFile.errorString();
            else if (!decoder.finish())
                error = decoder.error();
            else
                transcript = decoder.takeText();
        } else {
            error = inputFile.errorString();
        }
        if (!error.isEmpty()) {
            QTextStream(stderr) << QObject::tr("Error reading input file: %1\n").arg(error);
            return 1;
        }
    }

    const QString document = convertTranscript(transcript);
    transcript.clear();

    const QString error = saveDocument(outputPath, document);
    if (!error.isEmpty()) {
        QTextStream(stderr) << QObject::tr("Error writing output file: %1\n").arg(error);
        return 1;
    }

    QTextStream(stdout) << QObject::tr("Successfully converted %1 to %2\n").arg(inputPath, outputPath);
    return 0;
}
