// Files at the edge: the transcript to read, and the output written the way its path means.
#ifndef CUEFOLD_FILES_H
#define CUEFOLD_FILES_H

#include "formats.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

struct PathTarget;

// Opens the transcript to read: a path, or "-" for standard input.
bool openInput(QFile &file, const QString &path);

// Writes all of `bytes`; a short write is retried, and the retry is what reports the error.
bool writeAll(QFileDevice &file, QByteArrayView bytes);

// Where a document goes, decided by what the path is, not by how it is spelled:
// - a name of a descriptor the caller handed over (/dev/stdout, /dev/fd/3, or a link to one)
//   is written through that descriptor, sharing its offset and append mode;
// - any other existing file that is not a regular file (a FIFO, a device) is written in place;
// - a regular file, or a new one, is replaced whole or not at all. Where replacing would lose
//   its owner, group, special mode bits or hard links, or cannot be done (a name too long for a
//   temporary one beside it, a folder the user may not write), the document is made in a
//   temporary file first and then copied into it. ACLs and extended attributes are not seen: a
//   replace drops them.
class OutputFile
{
public:
    explicit OutputFile(const Format &format = defaultFormat()); // of the document it receives
    ~OutputFile();

    // Opens where `path` leads (`target`, as resolveOutput gives it). An existing file that is
    // not a document of its format is replaced only with `force`.
    bool open(const PathTarget &target, const QString &path, bool force);
    bool write(QByteArrayView bytes);
    bool writeFrom(QIODevice &source); // all of it, from its start
    bool commit();
    QString errorString() const;

    // Whether the output is standard output's file, by whatever name.
    bool isStandardOutput() const { return m_isStandardOutput; }
    // Receives the document as it is made, so a late failure cannot be undone.
    bool isWrittenInPlace() const { return m_mode == Mode::InPlace; }

private:
    enum class Mode { Replace, CopyInto, InPlace };

    bool checkReplaceable(const QString &path);
    bool copyInto();

    Mode m_mode = Mode::Replace;
    bool m_isStandardOutput = false;
    QString m_target; // the file itself, every link followed
    QString m_name; // as the user spelled it, for messages
    std::unique_ptr<QFileDevice> m_file;
    QString m_error;
    int m_permissions = -1; // of the file replaced, kept exactly
    const Format &m_format;
};

#endif
