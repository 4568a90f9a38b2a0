// What cuefold reports about a transcript.
#include "diagnostics.h"

#include "neartiming.h"
#include "text.h"

#include <QObject>

using namespace Qt::StringLiterals;

void Diagnostics::warn(qint64 line, const QString &message)
{
    if (m_report)
        m_report(line, message);
}

void Diagnostics::textAbove(qint64 line)
{
    warn(line, QObject::tr("text above the first timing line is dropped"));
}

void Diagnostics::timecodeRead(qint64 line, QByteArrayView written, const FramePosition &position)
{
    const QString text = QString::fromLatin1(written);
    if (position.moved)
        warn(line, QObject::tr("%1 is not a drop-frame label; read as %2")
                           .arg(text, position.readAs.toString()));
    else if (position.carried)
        warn(line, QObject::tr("%1 has a field past its range; read as %2")
                           .arg(text, position.readAs.toString()));
}

void Diagnostics::reversedTiming(qint64 line)
{
    warn(line, QObject::tr("the timing ends at or before its start"));
}

void Diagnostics::noText(qint64 line)
{
    warn(line, QObject::tr("the timing line has no text under it"));
}

void Diagnostics::clippedByStart(qint64 line)
{
    warn(line, QObject::tr("the cue starts before the video's first frame (--start); "
                           "it starts at 00:00:00.000"));
}

void Diagnostics::overlap(qint64 line, qint64 previousEnd)
{
    warn(line, QObject::tr("the cue overlaps the one before, which ends at %1")
                       .arg(timestampText(previousEnd)));
}

void Diagnostics::droppedCuesByStart(qint64 firstLine, qint64 count, bool every)
{
    warn(firstLine, QObject::tr("cues that end at or before the video's first frame are dropped "
                                "(--start): %1, the first on this line")
                            .arg(count));
    if (every)
        warn(firstLine, QObject::tr("every cue ends at or before the video's first frame "
                                    "(--start); the document has no cues"));
}

void Diagnostics::cue(qint64 line, qint64 start, qint64 end, qsizetype visible,
                      qsizetype longestLine, bool split)
{
    const qint64 duration = end - start;
    if (duration <= 0)
        return;
    const QString at = timestampText(start);
    const QString advice = split ? QString()
                                 : QObject::tr("; --max-chars %1 splits it").arg(maxLineCharacters);
    if (visible * 1000 > maxCharactersPerSecond * duration)
        warn(line, QObject::tr("the cue at %1 shows %2 characters a second, more than %3")
                           .arg(at, QString::number(visible * 1000.0 / duration, 'f', 1),
                                QString::number(maxCharactersPerSecond)));
    if (duration < minCueMilliseconds)
        warn(line, QObject::tr("the cue at %1 lasts %2 s, less than 5/6 of a second")
                           .arg(at, QString::number(duration / 1000.0, 'f', 3)));
    if (duration > maxCueMilliseconds)
        warn(line, QObject::tr("the cue at %1 stays %2 s on screen, more than %3%4")
                           .arg(at, QString::number(duration / 1000.0, 'f', 1),
                                QString::number(maxCueMilliseconds / 1000), advice));
    if (!split && longestLine > maxLineCharacters)
        warn(line, QObject::tr("the cue at %1 has a line of %2 characters, more than %3%4")
                           .arg(at, QString::number(longestLine),
                                QString::number(maxLineCharacters), advice));
}

namespace {

QString quoted(QString text)
{
    if (text.size() > maxQuoted)
        text = text.left(maxQuoted - 1) + u'\u2026';
    return u"'"_s + text + u"'"_s;
}

} // namespace

Diagnostics::NearMiss Diagnostics::nearTiming(qint64 line, QByteArrayView text, Fate fate)
{
    const NearTiming near = nearTimingOf(text);
    if (near.kind == NearMiss::None)
        return near.kind;
    const QString becomes = fate == Fate::CueText ? QObject::tr("it stays in the cue's text")
                                                  : QObject::tr("it is dropped");
    warn(line, QObject::tr("the line looks like a timing but is not one: %1; %2")
                       .arg(near.reason, becomes));
    return near.kind;
}

void Diagnostics::textOnTimingLine(qint64 line, QByteArrayView before, QByteArrayView after)
{
    const QString text = (QString::fromUtf8(before) + u' ' + QString::fromUtf8(after)).simplified();
    if (!text.isEmpty())
        warn(line, QObject::tr("text on the timing line is dropped: %1").arg(quoted(text)));
}

void Diagnostics::startKind(qint64 line, Timecode start, bool dropFrame, const FrameRate &rate)
{
    if (!m_startDropFrame)
        m_startDropFrame = dropFrame;
    if (*m_startDropFrame == dropFrame || m_reportedStartKind)
        return;
    m_reportedStartKind = true;
    const QString label = start.toString();
    const auto timeAs = [&](bool kind) {
        start.dropFrame = kind;
        return timestampText(frameMilliseconds(framePosition(start, rate).frame, rate));
    };
    const QString kinds[] = {QObject::tr("non-drop frame"), QObject::tr("drop frame")};
    warn(line, QObject::tr("this timing is %1 and the first was %2: --start %3 is read as %2 "
                           "(at %4); as %1 it would be at %5")
                       .arg(kinds[dropFrame], kinds[!dropFrame], label, timeAs(!dropFrame),
                            timeAs(dropFrame)));
}

void Diagnostics::controlCharacter(qint64 line, QByteArrayView character, const QString &encoding)
{
    int length;
    const QString seen = QObject::tr("%1 is an invisible control character, where windows-1252 "
                                     "has a curly quote, a dash or another sign")
                                 .arg(codePointName(codePointAt(character.data(), &length)));
    // Unicode text has them from a conversion that took windows-1252 for ISO-8859-1.
    if (encoding.startsWith(u"UTF"))
        warn(line, QObject::tr("%1; was the text converted from windows-1252 as if it were "
                               "ISO-8859-1?").arg(seen));
    else if (encoding != u"windows-1252")
        warn(line, QObject::tr("%1; if the file is windows-1252, name it with --encoding "
                               "windows-1252").arg(seen));
    else
        warn(line, seen);
}

void Diagnostics::timecodePastRange(qint64 line, const Timecode &timecode, const FrameRate &rate)
{
    if (timecode.frames >= rate.nominal) {
        if (!m_firstFrameLine)
            m_firstFrameLine = line;
        if (timecode.frames > m_largestFrame.frames || !m_largestFrameLine) {
            m_largestFrame = timecode;
            m_largestFrameLine = line;
        }
    }
    if (!m_clockLine && (timecode.minutes >= 60 || timecode.seconds >= 60)) {
        m_clock = timecode;
        m_clockLine = line;
    }
}

void Diagnostics::fieldsPastRange(const FrameRate &rate)
{
    if (m_firstFrameLine) {
        const QString past = QObject::tr("frame %1 on line %2 is past the rate: %3 fps")
                                     .arg(m_largestFrame.frames)
                                     .arg(m_largestFrameLine)
                                     .arg(frameRateName(rate));
        const auto fitting = frameRateAbove(m_largestFrame.frames, m_largestFrame.dropFrame);
        warn(m_firstFrameLine,
             fitting ? QObject::tr("%1; is this a %2 fps transcript? give --fps %2")
                               .arg(past, frameRateName(*fitting))
                     : QObject::tr("%1, and past every rate cuefold knows; frames carry into "
                                   "the seconds")
                               .arg(past));
    }
    if (m_clockLine)
        warn(m_clockLine, QObject::tr("%1 has minutes or seconds past 59; such fields carry "
                                      "into the next one up, here to %2")
                                  .arg(m_clock.toString(),
                                       framePosition(m_clock, rate).readAs.toString()));
}

QString Diagnostics::missingTimingHint(NearMiss nearMiss)
{
    switch (nearMiss) {
    case NearMiss::DropFrame:
        return QObject::tr("; its timecodes are drop-frame (HH:MM:SS;FF): give --fps 29.97 or "
                           "59.94");
    case NearMiss::Milliseconds:
        return QObject::tr("; it has millisecond timestamps (HH:MM:SS.mmm), not frame timecodes "
                           "(HH:MM:SS:FF)");
    default:
        return QString();
    }
}
