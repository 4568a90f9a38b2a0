#ifndef CUEFOLD_TESTS_CORPUS_H
#define CUEFOLD_TESTS_CORPUS_H

#include <QDir>
#include <QFile>
#include <QTest>

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row for each file of a test folder (by default, the corpus's transcripts).
inline void addFileRows(const QString &folder = QStringLiteral(CUEFOLD_CORPUS),
                        const QString &pattern = QStringLiteral("*.txt"))
{
    QTest::addColumn<QString>("name");
    for (const QString &name : QDir(folder).entryList({pattern}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << name;
}

// A transcript's options: its .args file's first line, split on single spaces.
inline QStringList corpusArguments(const QString &stem)
{
    const QString line = QString::fromUtf8(readFile(stem + u".args"_qs)).section(u'\n', 0, 0);
    return line.isEmpty() ? QStringList() : line.split(u' ');
}

#endif
