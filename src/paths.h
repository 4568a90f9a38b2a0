// Where an output path leads, worked out the way the system works it out: one name at a time
// from the real current folder, links read and followed from the folders they really lie in,
// never where the system's own protection would not follow them; names of the descriptors the
// caller handed over; and the identity of files.
#ifndef CUEFOLD_PATHS_H
#define CUEFOLD_PATHS_H

#include <QString>

#include <filesystem>

// Notes which descriptors the caller handed over. Call it first thing, before anything opens
// one of its own.
void recordHandedDescriptors();

// Whether the caller handed over `descriptor` (or that cannot be known).
bool isHanded(int descriptor);

struct PathTarget
{
    // The file the path leads to, every link followed, or the name a new file gets. Where the
    // walk stops at a missing folder, the rest as spelled: enough to tell names apart there.
    QString path;
    int descriptor = -1; // a handed-over descriptor that the path names
    QString error; // why the path leads nowhere cuefold may write; empty if it does

    // A name the system reaches this file by now.
    QString file() const;
};

// The path as the system's calls take it, in the file names' own encoding.
std::filesystem::path nativePath(const QString &path);

// The name of one of this process's open descriptors.
QString descriptorPath(int descriptor);

// The file that writing to `path` writes, as the shell's ">" would; "-" is standard output.
PathTarget resolveOutput(const QString &path);

// Whether two paths name one existing file, through links or hard links.
bool isSameFile(const QString &a, const QString &b);

// Whether the file at `path` has other names (hard links) too.
bool hasOtherNames(const QString &path);

#endif
