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

// A row for each transcript of the shared corpus, named by its file.
inline void addCorpusRows()
{
    QTest::addColumn<QString>("name");
    const QDir corpus(QStringLiteral(CUEFOLD_CORPUS));
    for (const QString &name : corpus.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(name)) << name;
}

#endif
