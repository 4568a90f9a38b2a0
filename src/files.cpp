// Opening the transcript, and writing the document where its path says.
#include "files.h"

#include "webvtt.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>

#include <filesystem>

namespace {

// As the system itself gives up on a chain of links (Linux: 40).
constexpr int maxLinks = 40;

struct Target
{
    QString path; // the file itself, all links followed
    int descriptor = -1;
    bool loop = false;
};

// Follows links one at a time, so that a name of an open descriptor is seen on the way: its
// folder is this process's /proc/PID/fd (or a thread's), however it was spelled.
Target resolve(const QString &path)
{
    static const QRegularExpression ownDescriptors(
            QStringLiteral("^/proc/%1/(task/[0-9]+/)?fd$").arg(QCoreApplication::applicationPid()));
    Target target{path};
    for (int links = 0; links <= maxLinks; ++links) {
        const QFileInfo info(target.path);
        bool isNumber = false;
        const int descriptor = info.fileName().toInt(&isNumber);
        if (isNumber && descriptor >= 0
            && ownDescriptors.match(QFileInfo(info.absolutePath()).canonicalFilePath())
                       .hasMatch()) {
            target.descriptor = descriptor;
            return target;
        }
        if (!info.isSymLink())
            return target;
        target.path = info.symLinkTarget();
    }
    target.loop = true;
    return target;
}

// Reads as many bytes as the signature check needs.
bool isWebVtt(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && hasWebVttSignature(file.read(10));
}

// Whether a file made in place of `path` would be the same to its users: same owner and group,
// no setuid, setgid or sticky bit (which the framework cannot set), and no other hard link.
bool replacementKeepsFile(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path native(QFile::encodeName(path).toStdString());
    const fs::perms special = fs::perms::set_uid | fs::perms::set_gid | fs::perms::sticky_bit;
    if ((fs::status(native, error).permissions() & special) != fs::perms::none
        || fs::hard_link_count(native, error) != 1)
        return false;

    // Owner and group are those a new file gets here: ask a new file, once per folder.
    struct Owner
    {
        uint user;
        uint group;
    };
    static QHash<QString, Owner> newFileOwners;
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    auto owner = newFileOwners.constFind(folder);
    if (owner == newFileOwners.constEnd()) {
        QTemporaryFile probe(folder + QStringLiteral("/.cuefold-XXXXXX"));
        if (!probe.open())
            return true; // the replacement will fail and say why
        const QFileInfo made(probe.fileName());
        owner = newFileOwners.insert(folder, Owner{made.ownerId(), made.groupId()});
    }
    return info.ownerId() == owner->user && info.groupId() == owner->group;
}

// A short write is retried: the retry is what reports the error (a full disk).
bool writeAll(QFileDevice &file, QByteArrayView bytes)
{
    for (const char *data = bytes.data(), *end = data + bytes.size(); data < end;) {
        const qint64 written = file.write(data, end - data);
        if (written <= 0)
            return false;
        data += written;
    }
    return true;
}

} // namespace

bool openInput(QFile &file, const QString &path)
{
    // Bytes, not text mode, which would delete every carriage return.
    if (path == u"-")
        return file.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered,
                         QFileDevice::DontCloseHandle);
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;

bool OutputFile::open(const QString &path, bool force)
{
    const Target target = path == u"-" ? Target{path, 1} : resolve(path);
    if (target.loop) {
        m_error = QObject::tr("%1: too many levels of symbolic links").arg(path);
        return false;
    }
    m_target = target.path;
    m_descriptor = target.descriptor;
    if (m_descriptor >= 0) {
        m_mode = Mode::InPlace;
        m_file = std::make_unique<QFile>();
        return static_cast<QFile &>(*m_file).open(m_descriptor,
                                                  QIODevice::WriteOnly | QIODevice::Unbuffered,
                                                  QFileDevice::DontCloseHandle);
    }
    const QFileInfo info(m_target);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        m_mode = Mode::InPlace;
        m_file = std::make_unique<QFile>(m_target);
        return m_file->open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered);
    }
    if (info.isFile() && info.size() > 0 && !force && !isWebVtt(m_target)) {
        m_error = QObject::tr("%1 exists and is not a WebVTT document; not replaced (use --force "
                              "to replace it)")
                          .arg(path);
        return false;
    }
    if (info.isFile() && !replacementKeepsFile(m_target)) {
        m_mode = Mode::CopyInto;
        m_file = std::make_unique<QTemporaryFile>(m_target + QStringLiteral(".XXXXXX"));
        return static_cast<QTemporaryFile &>(*m_file).open();
    }
    m_mode = Mode::Replace;
    m_file = std::make_unique<QSaveFile>(m_target);
    return m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool OutputFile::write(QByteArrayView bytes)
{
    return writeAll(*m_file, bytes);
}

bool OutputFile::commit()
{
    switch (m_mode) {
    case Mode::Replace:
        return static_cast<QSaveFile &>(*m_file).commit();
    case Mode::InPlace:
        return m_file->flush() && m_file->error() == QFileDevice::NoError;
    case Mode::CopyInto:
        break;
    }
    // The document is whole in the temporary file: only now is the file itself touched.
    if (!m_file->flush() || !m_file->seek(0))
        return false;
    QFile file(m_target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray buffer(ioPieceSize, Qt::Uninitialized);
    qint64 length;
    while ((length = m_file->read(buffer.data(), buffer.size())) > 0) {
        if (!writeAll(file, QByteArrayView(buffer.constData(), length))) {
            m_error = file.errorString();
            return false;
        }
    }
    if (length < 0)
        m_error = m_file->errorString();
    return length == 0;
}

QString OutputFile::errorString() const
{
    return m_error.isEmpty() && m_file ? m_file->errorString() : m_error;
}
