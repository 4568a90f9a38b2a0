// The run: each conversion the settings ask for, one or a batch, from the input file to the
// output file, with one line of outcome each.
#ifndef CUEFOLD_RUN_H
#define CUEFOLD_RUN_H

#include <QString>

#include <cstdio>

struct Settings;

// Writes a message to a standard stream.
void print(FILE *stream, const QString &message);

// Returns the exit status: 0 when every document was written whole.
int run(const Settings &settings);

#endif
