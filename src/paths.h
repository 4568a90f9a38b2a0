// Where an output path leads, worked out the way the system works it out: links followed one at
// a time from their real folders, never where the system's own protection would not follow
// them; names of the descriptors the caller handed over; and the identity of files.
#ifndef CUEFOLD_PATHS_H
#define CUEFOLD_PATHS_H

#include <QString>

#include <filesystem>

// Notes which descriptors the caller handed over. Call it first thing, before anything opens
// one of its own.
void recordHandedDescriptors();

struct PathTarget
{
    QString path; // the file itself, all links followed
    int descriptor = -1; // a handed-over descriptor that the path names
    QString error; // why the path leads nowhere cuefold may write; empty if it does
};

// The path as the system's calls take it, in the file names' own encoding.
std::filesystem::path nativePath(const QString &path);

// "-" is standard output.
PathTarget resolveOutput(const QString &path);

// Whether two paths name one existing file, through links or hard links.
bool isSameFile(const QString &a, const QString &b);

// Whether the file at `path` has other names (hard links) too.
bool hasOtherNames(const QString &path);

// The path as the system names it for each use: the real path when it exists, else a clean
// absolute one.
QString identityKey(const QString &path);

#endif
