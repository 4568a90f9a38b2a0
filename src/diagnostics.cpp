// What cuefold reports about a transcript.
#include "diagnostics.h"

#include <QObject>
#include <QRegularExpression>

#include <algorithm>

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

void Diagnostics::droppedByStart(qint64 line)
{
    warn(line, QObject::tr("the cue ends before the video's first frame (--start); dropped"));
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

void Diagnostics::cue(qint64 line, qint64 start, qint64 end, qsizetype visible)
{
    const qint64 duration = end - start;
    if (duration <= 0)
        return;
    if (visible * 1000 > maxCharactersPerSecond * duration)
        warn(line, QObject::tr("the cue shows %1 characters a second, more than %2")
                           .arg(QString::number(visible * 1000.0 / duration, 'f', 1))
                           .arg(maxCharactersPerSecond));
    if (duration < minCueMilliseconds)
        warn(line, QObject::tr("the cue lasts %1 s, less than 5/6 of a second")
                           .arg(QString::number(duration / 1000.0, 'f', 3)));
}

void Diagnostics::nearTiming(qint64 line, QByteArrayView text)
{
    static const QRegularExpression nearTiming(
            QStringLiteral(R"(([0-9]{1,2}):[0-9]{2}:[0-9]{2}([:;])[0-9]{2}(\s*))"
                           R"((-->|[-\x{2013}\x{2014}]))"
                           R"((\s*)([0-9]{1,2}):[0-9]{2}:[0-9]{2}([:;])[0-9]{2})"),
            QRegularExpression::UseUnicodePropertiesOption);
    const QRegularExpressionMatch match = nearTiming.match(QString::fromUtf8(text));
    if (!match.hasMatch())
        return;
    const auto isAscii = [](QStringView spaces) {
        return std::all_of(spaces.begin(), spaces.end(),
                           [](QChar c) { return c.unicode() < 0x80; });
    };
    const QString dash = match.captured(4);
    QString reason;
    if (dash == u"\u2013")
        reason = QObject::tr("an en dash instead of a hyphen");
    else if (dash == u"\u2014")
        reason = QObject::tr("an em dash instead of a hyphen");
    else if (dash == u"-->")
        reason = QObject::tr("'-->' instead of '-'");
    else if (!isAscii(match.capturedView(3)) || !isAscii(match.capturedView(5)))
        reason = QObject::tr("a non-breaking or other Unicode space around the hyphen");
    else if (match.capturedLength(1) == 1 || match.capturedLength(6) == 1)
        reason = QObject::tr("a one-digit hour");
    else if (match.capturedView(2) != match.capturedView(7))
        reason = QObject::tr("one drop-frame and one non-drop-frame timecode");
    else
        reason = QObject::tr("a drop-frame timecode, which needs --fps 29.97 or 59.94");
    warn(line, QObject::tr("the line looks like a timing but is not one: %1").arg(reason));
}
