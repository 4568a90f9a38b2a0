// The document formats cuefold writes. Each lives in a file of its own under formats/, which
// defines its Format; the list in formats.cpp names them all.
#ifndef CUEFOLD_FORMATS_H
#define CUEFOLD_FORMATS_H

#include "cues.h"
#include "timecode.h"
#include "writer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>

#include <memory>

// What a format may need to know beyond the cues.
struct FormatSettings
{
    FrameRate rate; // of the transcript's timecodes
    QByteArray language = "en"; // of the captions, as BCP 47 names it
};

struct Format
{
    QStringView name; // as --format takes it
    QStringView extension; // of the output names that pick it, and of a batch's outputs
    QStringView document; // for messages: "a WebVTT document"
    // Whether an existing file that starts with `head` is a document of this format.
    bool (*isDocument)(QByteArrayView head);
    // A sink that writes the document's opening at once, then each cue as it comes.
    std::unique_ptr<TimedCueSink> (*makeSink)(DocumentWriter &writer,
                                              const FormatSettings &settings);
};

const Format &defaultFormat(); // WebVTT
const Format *formatNamed(QStringView name);
// The format an output name's extension picks; WebVTT for any other name.
const Format &formatForPath(QStringView path);
QStringList formatNames();

#endif
