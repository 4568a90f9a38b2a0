#ifndef CUEFOLD_TESTS_CORPUS_H
#define CUEFOLD_TESTS_CORPUS_H

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A row for each of the corpus's transcripts.
inline void addFileRows()
{
    QTest::addColumn<QString>("name");
    const QDir corpus(QStringLiteral(CUEFOLD_CORPUS));
    for (const QString &name : corpus.entryList({u"*.txt"_s}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << name;
}

// A transcript's options: its .args file's first line, split on single spaces.
inline QStringList corpusArguments(const QString &stem)
{
    const QString line = QString::fromUtf8(readFile(stem + u".args"_s)).section(u'\n', 0, 0);
    return line.isEmpty() ? QStringList() : line.split(u' ');
}

#endif
