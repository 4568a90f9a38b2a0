// The command line: cuefold's options, their help and limits, and the settings read from them.
#ifndef CUEFOLD_OPTIONS_H
#define CUEFOLD_OPTIONS_H

#include "transcript.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

struct Settings
{
    ConversionOptions conversion;
    bool strict = false; // write nothing if anything is reported
    bool force = false; // replace an output that is not a WebVTT document
    bool quiet = false; // no success lines
    const Format *format = nullptr; // --format; null: each output's name tells it
    QString encoding; // of transcripts without a byte-order mark; empty: UTF-8
    QString input;
    QString output;
    bool batch = false; // --output-dir: each of `files` into `folder`
    QString folder;
    QStringList files;
};

void addOptions(QCommandLineParser &parser);

// Reads the settings from a parser that has parsed the command line. Returns a usage error,
// or an empty string; a missing --input or --output is left to the caller, which shows help.
QString readSettings(const QCommandLineParser &parser, Settings *settings);

#endif
