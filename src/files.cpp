// Opening the transcript, and writing the document where its path says.
#include "files.h"

#include "faults.h"
#include "paths.h"
#include "text.h"
#include "writer.h"

#include <QFileInfo>
#include <QHash>
#include <QObject>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

// Most file systems' limit on one name; the atomic replace adds ".XXXXXX" to it for its
// temporary name, so a longer name is copied into instead.
constexpr qsizetype longestName = 255;
constexpr qsizetype replaceSuffix = 7;
// A file this small is read whole to tell whether it holds anything.
constexpr qint64 signatureWindow = 4096;

enum class Content { Empty, Document, Other, Unreadable };

// What an existing output holds: nothing but a byte-order mark and line ends counts as empty.
Content contentOf(const QString &path, const Format &format)
{
    QFile file(path);
    if (faultAt(Fault::ReadExisting) || !file.open(QIODevice::ReadOnly))
        return Content::Unreadable;
    const QByteArray head = file.read(signatureWindow);
    if (format.isDocument(head))
        return Content::Document;
    QByteArrayView rest(head);
    if (rest.startsWith(utf8Mark))
        rest = rest.sliced(utf8Mark.size());
    const bool blank = std::all_of(rest.begin(), rest.end(), isPatternSpace);
    return blank && file.atEnd() ? Content::Empty : Content::Other;
}

// Whether a file made in place of `path` would be the same to its users: same owner and group,
// no setuid, setgid or sticky bit (which the framework cannot set), no other hard link, and a
// name short enough for the temporary name beside it, in a folder where a new file can be made.
bool replacementKeepsFile(const QString &path)
{
    std::error_code error;
    const fs::perms special = fs::perms::set_uid | fs::perms::set_gid | fs::perms::sticky_bit;
    if ((fs::status(nativePath(path), error).permissions() & special) != fs::perms::none
        || hasOtherNames(path)
        || QFile::encodeName(QFileInfo(path).fileName()).size() + replaceSuffix > longestName)
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
            return false;
        const QFileInfo made(probe.fileName());
        owner = newFileOwners.insert(folder, Owner{made.ownerId(), made.groupId()});
    }
    return info.ownerId() == owner->user && info.groupId() == owner->group;
}

// Copies the rest of `from` into `to`, a piece at a time.
bool copyRest(QIODevice &from, QFileDevice &to)
{
    QByteArray buffer(ioPieceSize, Qt::Uninitialized);
    qint64 length;
    while ((length = from.read(buffer.data(), buffer.size())) > 0) {
        if (!writeAll(to, QByteArrayView(buffer.constData(), length)))
            return false;
    }
    return length == 0;
}

} // namespace

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

bool openInput(QFile &file, const QString &path)
{
    // Bytes, not text mode, which would delete every carriage return.
    if (path == u"-")
        return file.open(0, QIODevice::ReadOnly | QIODevice::Unbuffered,
                         QFileDevice::DontCloseHandle);
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

OutputFile::OutputFile(const Format &format) : m_format(format) {}
OutputFile::~OutputFile() = default;

bool OutputFile::open(const PathTarget &target, const QString &path, bool force)
{
    if (!target.error.isEmpty()) {
        m_error = target.error;
        return false;
    }
    m_target = target.path;
    m_name = path;
    m_isStandardOutput = isHanded(1) && isSameFile(target.file(), descriptorPath(1));
    if (target.descriptor >= 0) {
        m_mode = Mode::InPlace;
        m_file = std::make_unique<QFile>();
        return static_cast<QFile &>(*m_file).open(target.descriptor,
                                                  QIODevice::WriteOnly | QIODevice::Unbuffered,
                                                  QFileDevice::DontCloseHandle);
    }
    const QFileInfo info(m_target);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        m_mode = Mode::InPlace;
        m_file = std::make_unique<QFile>(m_target);
        return m_file->open(QIODevice::WriteOnly | QIODevice::ExistingOnly | QIODevice::Unbuffered);
    }
    if (info.isFile() && !force && !checkReplaceable(path))
        return false;
    if (info.isFile() && !replacementKeepsFile(m_target)) {
        m_mode = Mode::CopyInto;
        const QString folder = info.absolutePath();
        auto temporary = std::make_unique<QTemporaryFile>(folder + u"/.cuefold-XXXXXX"_s);
        // In a folder the user may not write, the file is still written, as the shell would.
        if (!temporary->open())
            temporary = std::make_unique<QTemporaryFile>();
        const bool opened = temporary->isOpen() || temporary->open();
        m_file = std::move(temporary);
        return opened;
    }
    if (info.isFile())
        m_permissions = int(fs::status(nativePath(m_target)).permissions());
    m_mode = Mode::Replace;
    m_file = std::make_unique<QSaveFile>(m_target);
    return m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool OutputFile::checkReplaceable(const QString &path)
{
    const QString document = m_format.document.toString();
    switch (contentOf(m_target, m_format)) {
    case Content::Empty:
    case Content::Document:
        return true;
    case Content::Other:
        m_error = QObject::tr("%1 exists and is not %2; not replaced (use --force to replace it)")
                          .arg(path, document);
        return false;
    case Content::Unreadable:
        break;
    }
    m_error = QObject::tr("%1 cannot be read to tell whether it is %2; not replaced (use --force "
                          "to replace it)")
                      .arg(path, document);
    return false;
}

bool OutputFile::write(QByteArrayView bytes)
{
    return writeAll(*m_file, bytes);
}

bool OutputFile::writeFrom(QIODevice &source)
{
    return source.seek(0) && copyRest(source, *m_file);
}

bool OutputFile::commit()
{
    switch (m_mode) {
    case Mode::Replace: {
        auto &file = static_cast<QSaveFile &>(*m_file);
        if (faultAt(Fault::Commit))
            file.cancelWriting();
        if (!file.commit())
            return false;
        // The framework gives the new file its owner's write bit; the old mode is kept exactly.
        if (m_permissions >= 0) {
            std::error_code error;
            fs::permissions(nativePath(m_target), fs::perms(m_permissions), error);
        }
        return true;
    }
    case Mode::InPlace:
        return m_file->flush() && m_file->error() == QFileDevice::NoError;
    case Mode::CopyInto:
        break;
    }
    return copyInto();
}

// The document is whole in the temporary file: only now is the file itself touched. It is
// written over from the start and cut to length after, so it needs room only for what the new
// document adds; if that room is not there, the old document is left as it was.
bool OutputFile::copyInto()
{
    auto &temporary = static_cast<QTemporaryFile &>(*m_file);
    const qint64 size = temporary.size();
    QFile file(m_target);
    const qint64 growth = size - file.size();
    const QStorageInfo storage(QFileInfo(m_target).absolutePath());
    if (growth > 0 && storage.isValid() && storage.bytesAvailable() < growth) {
        m_error = QObject::tr("%1: No space left on device (the document needs %2 bytes more); "
                              "the old document is intact")
                          .arg(m_name)
                          .arg(growth);
        return false;
    }
    // Read and write, so that opening does not cut the old document.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)
        && !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        m_error = file.errorString();
        return false;
    }
    if (!temporary.seek(0))
        return false;
    if (copyRest(temporary, file) && !faultAt(Fault::CutCopy) && file.resize(size))
        return true;
    // The old document is gone and the new one is not whole: keep the one whole copy.
    temporary.setAutoRemove(false);
    m_error = QObject::tr("%1: %2; it is left cut short, and the whole document is in %3")
                      .arg(m_name, file.errorString(), temporary.fileName());
    return false;
}

QString OutputFile::errorString() const
{
    return m_error.isEmpty() && m_file ? m_file->errorString() : m_error;
}
