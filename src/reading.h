// The read loop: a device's bytes, piece by piece, through the decoder into the converter.
#ifndef CUEFOLD_READING_H
#define CUEFOLD_READING_H

#include "writer.h"

#include <QString>

class QIODevice;
class QTemporaryFile;
class SpeakerScan;
class Speakers;
class TranscriptConverter;

// Reads `input` to its end, pieceSize bytes at a time, and hands its text to `converter`. False,
// with *error set, when the input cannot be read or is not valid in its encoding ("invalid
// UTF-8 on line 12"). Stops early, true, once the converter's output has failed. Bytes without
// a byte-order mark are UTF-8, or in `encoding` if one is named.
bool readTranscript(QIODevice &input, TranscriptConverter &converter, QString *error,
                    const QString &encoding = QString(), qsizetype pieceSize = ioPieceSize);
bool readTranscript(QIODevice &input, SpeakerScan &scan, QString *error,
                    const QString &encoding = QString(), qsizetype pieceSize = ioPieceSize);

// Reads `input` once ahead for its speakers, then sets `*again` to what reads it again: the input
// rewound, or, when it cannot be (a pipe), `copy`, which holds what was read. False, with *error
// set, as readTranscript.
bool readSpeakers(QIODevice &input, QTemporaryFile &copy, QIODevice **again, Speakers *speakers,
                  QString *error, const QString &encoding = QString(),
                  qsizetype pieceSize = ioPieceSize);

#endif
