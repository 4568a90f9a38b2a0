// Where an output path leads.
#include "paths.h"

#include "faults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>
#include <QObject>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

namespace {

// As the system itself gives up on a chain of links (Linux: 40).
constexpr int maxLinks = 40;

// Where the system lists a process's descriptors; elsewhere descriptor names are not known.
const QString descriptorFolder = u"/proc/self/fd"_s;

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

// This process's own descriptor folder, however it was reached: /proc/PID/fd, or a thread's.
bool isOwnDescriptorFolder(const QString &folder)
{
    static const QRegularExpression own(
            u"^/proc/%1/(task/[0-9]+/)?fd$"_s.arg(QCoreApplication::applicationPid()));
    return own.match(folder).hasMatch();
}

QString message(std::errc code)
{
    return QString::fromStdString(std::make_error_code(code).message());
}

// The names of a path, the first last; a trailing slash asks for a folder, as "." does.
QStringList namesOf(const QString &path)
{
    QStringList names = path.split(u'/', Qt::SkipEmptyParts);
    if (path.endsWith(u'/') && !names.isEmpty())
        names.append(u"."_s);
    std::reverse(names.begin(), names.end());
    return names;
}

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// A real folder as the user sees it: from the current folder when it lies inside it.
QString shown(const QString &folder)
{
    const QString current = QDir::currentPath() + u'/';
    return folder.startsWith(current) ? folder.mid(current.size()) : folder;
}

QString parentOf(const QString &folder)
{
    const qsizetype slash = folder.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : folder.left(slash);
}

} // namespace

QString PathTarget::file() const
{
    return descriptor >= 0 ? descriptorPath(descriptor) : path;
}

fs::path nativePath(const QString &path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

QString descriptorPath(int descriptor)
{
    return descriptorFolder + u'/' + QString::number(descriptor);
}

bool isHanded(int descriptor)
{
    return !handedDescriptors || handedDescriptors->contains(descriptor);
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

// The walk the system makes for open(path, O_WRONLY | O_CREAT): "." and ".." taken in the real
// folder reached so far, each link read and its names walked in its stead, and a last name that
// does not exist made where the walk stands, dangling link or not.
PathTarget resolveOutput(const QString &path)
{
    const auto failed = [](const QString &error) { return PathTarget{{}, -1, error}; };
    if (path == u"-")
        return isHanded(1) ? PathTarget{{}, 1, {}} : failed(QObject::tr("-: Bad file descriptor"));
    if (path.isEmpty())
        return failed(message(std::errc::no_such_file_or_directory));
    QStringList names = namesOf(path);
    QString folder = path.startsWith(u'/') ? u"/"_s : QDir::currentPath();
    int links = 0;
    while (!names.isEmpty()) {
        const QString name = names.takeLast();
        if (name == u".")
            continue;
        if (name == u"..") {
            folder = parentOf(folder);
            continue;
        }
        const QString file = joined(folder, name);
        const bool last = names.isEmpty();
        if (isOwnDescriptorFolder(folder)) {
            bool isNumber = false;
            const int number = name.toInt(&isNumber);
            if (!isNumber || number < 0 || !isHanded(number))
                return failed(QObject::tr("%1: No such file or directory").arg(path));
            if (last)
                return PathTarget{{}, number, {}};
        }
        std::error_code error;
        const fs::file_status status = fs::symlink_status(nativePath(file), error);
        if (status.type() == fs::file_type::not_found) {
            if (last)
                return PathTarget{file, -1, {}};
            std::reverse(names.begin(), names.end());
            return PathTarget{joined(file, names.join(u'/')), -1,
                              message(std::errc::no_such_file_or_directory)};
        }
        if (error)
            return failed(QString::fromStdString(error.message()));
        if (fs::is_symlink(status)) {
            if (++links > maxLinks)
                return failed(QObject::tr("%1: too many levels of symbolic links").arg(path));
            if (isSharedFolder(folder) && !fs::exists(nativePath(file), error))
                return failed(QObject::tr("%1: not followed: a link in the shared folder %2 "
                                          "that the system would not follow to a file")
                                      .arg(path, shown(folder)));
            const fs::path target = fs::read_symlink(nativePath(file), error);
            if (error || faultAt(Fault::ReadLink))
                return failed(QObject::tr("%1: cannot read a link").arg(path));
            const QString text = QFile::decodeName(QByteArray::fromStdString(target.native()));
            if (text.isEmpty())
                return failed(message(std::errc::no_such_file_or_directory));
            names += namesOf(text);
            if (text.startsWith(u'/'))
                folder = u"/"_s;
            continue;
        }
        if (last)
            return PathTarget{file, -1, {}};
        if (!fs::is_directory(status))
            return failed(message(std::errc::not_a_directory));
        folder = file;
    }
    // The path names a folder: opening it says so.
    return PathTarget{folder, -1, {}};
}

bool isSameFile(const QString &a, const QString &b)
{
    std::error_code error;
    if (fs::equivalent(nativePath(a), nativePath(b), error) && !error)
        return true;
    // Pipes, sockets and terminals are not compared so; their descriptors' links name them.
    const auto opened = [](const QString &path) {
        std::error_code linkError;
        return path.startsWith(descriptorFolder + u'/')
                ? fs::read_symlink(nativePath(path), linkError).native()
                : std::string();
    };
    const std::string name = opened(a);
    return !name.empty() && name == opened(b);
}

bool hasOtherNames(const QString &path)
{
    std::error_code error;
    const auto count = fs::hard_link_count(nativePath(path), error);
    return !error && count > 1;
}
