// WebVTT, the format browsers show: the header, one block per cue (timing, voice, text, empty
// line), and the signature that marks a file as a document.
#ifndef CUEFOLD_WEBVTT_H
#define CUEFOLD_WEBVTT_H

#include "cues.h"
#include "writer.h"

#include <QByteArrayView>

#include <memory>

// Whether a file starting with `head` is a WebVTT document: the signature, after an optional
// byte-order mark, then the end, a space, a tab or a line end.
bool hasWebVttSignature(QByteArrayView head);

// Writes the header at once, then each cue it is given.
std::unique_ptr<TimedCueSink> makeWebVttSink(DocumentWriter &writer);

#endif
