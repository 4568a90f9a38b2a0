// Files at the edge: the transcript to read, and the output written the way its path means.
#ifndef CUEFOLD_FILES_H
#define CUEFOLD_FILES_H

#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

// Opens the transcript to read: a path, or "-" for standard input.
bool openInput(QFile &file, const QString &path);

// Where a document goes, decided by what the path is, not by how it is spelled:
// - a name of a descriptor the caller handed over (/dev/stdout, /dev/fd/3, or a link to one)
//   is written through that descriptor, sharing its offset and append mode;
// - any other existing file that is not a regular file (a FIFO, a device) is written in place;
// - a regular file, or a new one, is replaced whole or not at all. Where replacing would lose
//   its owner, group, special mode bits or hard links (or where the name is too long for a
//   temporary one beside it), the document is made in a temporary file first and then copied
//   into it. ACLs and extended attributes are not seen: a replace drops them.
class OutputFile
{
public:
    OutputFile();
    ~OutputFile();

    // An existing file that is not a WebVTT document is replaced only with `force`.
    bool open(const QString &path, bool force);
    bool write(QByteArrayView bytes);
    bool writeFrom(QIODevice &source); // all of it, from its start
    bool commit();
    QString errorString() const;

    bool isStandardOutput() const { return m_descriptor == 1; }
    // Receives the document as it is made, so a late failure cannot be undone.
    bool isWrittenInPlace() const { return m_mode == Mode::InPlace; }

private:
    enum class Mode { Replace, CopyInto, InPlace };

    bool checkReplaceable(const QString &path);
    bool copyInto();

    Mode m_mode = Mode::Replace;
    int m_descriptor = -1;
    QString m_target;
    std::unique_ptr<QFileDevice> m_file;
    QString m_error;
    int m_permissions = -1; // of the file replaced, kept exactly
};

#endif
