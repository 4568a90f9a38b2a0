#ifndef CUEFOLD_DECODING_H
#define CUEFOLD_DECODING_H

#include <QByteArrayView>
#include <QString>

// Decodes transcript bytes: UTF-8, or the UTF-8, UTF-16 or UTF-32 that a byte-order mark
// names (the mark is dropped). Bytes that are not valid in that encoding give an empty
// string and set *error to what and where, e.g. "invalid UTF-8 on line 12".
QString decodeTranscript(QByteArrayView bytes, QString *error);

#endif
