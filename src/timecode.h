// Timecode arithmetic: frame rates, drop frame, where a label lands in the video, and the
// timestamps that WebVTT wants.
#ifndef CUEFOLD_TIMECODE_H
#define CUEFOLD_TIMECODE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// A frame rate as timecodes count it: `nominal` frames a second in the labels, each lasting
// denominator/numerator seconds.
struct FrameRate
{
    int nominal = 25;
    qint64 numerator = 25;
    qint64 denominator = 1;
    int dropped = 0; // labels skipped each minute not divisible by ten, in drop-frame timecodes

    bool allowsDropFrame() const { return dropped > 0; }
};

// One of frameRateNames(), or another spelling of one: 23.98, 25.0, 30000/1001.
std::optional<FrameRate> frameRateNamed(QStringView name);
// "23.976", "24", ... "60", as --fps takes them.
QStringList frameRateNames();
// The name of a listed rate.
QString frameRateName(const FrameRate &rate);
// The slowest listed rate whose frame fields go past `frame`, of drop-frame rates or of whole
// ones; nothing when none does.
std::optional<FrameRate> frameRateAbove(int frame, bool dropFrame);

struct Timecode
{
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    bool dropFrame = false; // written HH:MM:SS;FF

    QString toString() const;
};

// Where a label lands in the video. Fields past their range carry into the next one up; a
// drop-frame label that does not exist is read as the first one after it that does.
struct FramePosition
{
    qint64 frame = 0;
    Timecode readAs; // the label after carrying and moving, for the diagnostics
    bool carried = false;
    bool moved = false;
};
FramePosition framePosition(const Timecode &timecode, const FrameRate &rate);

// The first frame of the whole hour at or below `position`, in the same kind of label.
qint64 hourFrame(const FramePosition &position, const FrameRate &rate);

// A frame's start in milliseconds, to the nearest, halves up; frame must not be negative.
qint64 frameMilliseconds(qint64 frame, const FrameRate &rate);

// Writes HH:MM:SS.mmm, with as many hour digits as it takes (at most 24 bytes in all), and
// returns the end.
char *writeTimestamp(char *out, qint64 milliseconds);
QString timestampText(qint64 milliseconds);

// At 25 frames a second, whether a timecode's fields are in range, as in most transcripts.
inline bool isPlainAt25(const Timecode &timecode)
{
    return timecode.frames < 25 && timecode.seconds < 60 && timecode.minutes < 60;
}

#endif
