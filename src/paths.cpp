// Where an output path leads.
#include "paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QObject>
#include <QRegularExpression>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

// As the system itself gives up on a chain of links (Linux: 40).
constexpr int maxLinks = 40;

// Where the system lists a process's descriptors; elsewhere descriptor names are not known.
const QString descriptorFolder = u"/proc/self/fd"_qs;

// Empty until recorded, or when the system does not list descriptors.
std::optional<QList<int>> handedDescriptors;

// A folder where anyone may make names but only their owners may remove them, as /tmp. The
// system may refuse to follow another user's link there; cuefold cannot see a link's owner, so
// it follows one there only when the system itself follows it to a file (a stat through the
// link succeeds; the C library's realpath would read the link without asking).
bool isSharedFolder(const QString &folder)
{
    std::error_code error;
    const fs::perms perms = fs::status(nativePath(folder), error).permissions();
    return !error && (perms & fs::perms::sticky_bit) != fs::perms::none
            && (perms & fs::perms::others_write) != fs::perms::none;
}

// The target of the link at `path`, relative links taken from the link's real folder (the
// system's "..", not the text's).
QString linkTarget(const QString &path, const QString &folder)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(nativePath(path), error);
    if (error)
        return QString();
    const QString text = QFile::decodeName(QByteArray::fromStdString(target.native()));
    return target.is_absolute() ? text : folder + u'/' + text;
}

} // namespace

fs::path nativePath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

void recordHandedDescriptors()
{
    std::error_code error;
    fs::directory_iterator entries(nativePath(descriptorFolder), error);
    if (error)
        return;
    // The listing's own descriptor shows in it: it names this very folder.
    const fs::path self = fs::canonical(nativePath(descriptorFolder), error);
    QList<int> handed;
    for (const fs::directory_entry &entry : entries) {
        bool isNumber = false;
        const int descriptor =
                QString::fromStdString(entry.path().filename().string()).toInt(&isNumber);
        std::error_code linkError;
        if (isNumber && fs::read_symlink(entry.path(), linkError) != self)
            handed.append(descriptor);
    }
    handedDescriptors = handed;
}

PathTarget resolveOutput(const QString &path)
{
    const auto descriptor = [](int number, const QString &error) {
        const bool handed = !handedDescriptors || handedDescriptors->contains(number);
        return handed ? PathTarget{QString(), number, QString()}
                      : PathTarget{QString(), -1, error};
    };
    if (path == u"-")
        return descriptor(1, QObject::tr("-: Bad file descriptor"));
    // A name of an open descriptor is seen on the way, however it was spelled: its folder is
    // this process's /proc/PID/fd (or a thread's).
    static const QRegularExpression ownDescriptors(
            QStringLiteral("^/proc/%1/(task/[0-9]+/)?fd$").arg(QCoreApplication::applicationPid()));
    QString current = path;
    for (int links = 0; links <= maxLinks; ++links) {
        const QFileInfo info(current);
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        bool isNumber = false;
        const int number = info.fileName().toInt(&isNumber);
        if (isNumber && number >= 0 && ownDescriptors.match(folder).hasMatch())
            return descriptor(number, QObject::tr("%1: No such file or directory").arg(path));
        if (!info.isSymLink())
            return PathTarget{current, -1, QString()};
        if (isSharedFolder(folder) && !info.exists())
            return PathTarget{QString(), -1,
                              QObject::tr("%1: not followed: a link in the shared folder %2 "
                                          "that the system would not follow to a file")
                                      .arg(current, info.path())};
        current = linkTarget(current, folder);
        if (current.isEmpty())
            return PathTarget{QString(), -1, QObject::tr("%1: cannot read a link").arg(path)};
    }
    return PathTarget {QString(), -1,
                       QObject::tr("%1: too many levels of symbolic links").arg(path)};
}

bool isSameFile(const QString &a, const QString &b)
{
    std::error_code error;
    return fs::equivalent(nativePath(a), nativePath(b), error) && !error;
}

bool hasOtherNames(const QString &path)
{
    std::error_code error;
    const auto count = fs::hard_link_count(nativePath(path), error);
    return !error && count > 1;
}

QString identityKey(const QString &path)
{
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : real;
}
