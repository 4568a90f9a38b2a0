// The command line's options and the settings read from them.
#include "options.h"

#include "timing.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QObject>
#include <QRegularExpression>
#include <QStringDecoder>

using namespace Qt::Literals::StringLiterals;

namespace {

// "a, b or c"
QString listed(QStringList names)
{
    const QString last = names.takeLast();
    return names.join(u", "_s) + u" or "_s + last;
}

QString rateHelp()
{
    QStringList names = frameRateNames();
    for (QString &name : names) {
        if (frameRateNamed(name)->numerator == FrameRate().numerator)
            name += u" (default)"_s;
    }
    return u"Frame rate: "_s + listed(names);
}

// Reads a whole number from `low` to `high`; false, with the usage error, when it is not one.
bool readNumber(const QCommandLineParser &parser, const QString &name, int low, int high,
                int *number, QString *error)
{
    const QString value = parser.value(name);
    bool ok = false;
    *number = value.toInt(&ok);
    if (ok && *number >= low && *number <= high)
        return true;
    *error = QObject::tr("cuefold: --%1 takes a number from %2 to %3, not '%4'\n")
                     .arg(name, QString::number(low), QString::number(high), value);
    return false;
}

// Reads seconds from `low` to `high` ("5.5"), to the millisecond; false, with the usage
// error, when it is not such a number.
bool readSeconds(const QCommandLineParser &parser, const QString &name, int low, int high,
                 qint64 *milliseconds, QString *error)
{
    const QString value = parser.value(name);
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    if (ok && seconds >= low && seconds <= high) {
        *milliseconds = qRound64(seconds * 1000);
        return true;
    }
    *error = QObject::tr("cuefold: --%1 takes a number of seconds from %2 to %3, not '%4'\n")
                     .arg(name, QString::number(low), QString::number(high), value);
    return false;
}

QString readConversion(const QCommandLineParser &parser, ConversionOptions *options)
{
    if (parser.isSet(u"fps"_s)) {
        const QString value = parser.value(u"fps"_s);
        const std::optional<FrameRate> rate = frameRateNamed(value);
        if (!rate)
            return QObject::tr("cuefold: --fps takes %1, not '%2'\n")
                    .arg(listed(frameRateNames()), value);
        options->rate = *rate;
    }
    QString error;
    if (parser.isSet(u"max-chars"_s)
        && !readNumber(parser, u"max-chars"_s, minLineLength, maxLineLength,
                       &options->split.maxChars, &error))
        return error;
    if (parser.isSet(u"max-lines"_s)
        && !readNumber(parser, u"max-lines"_s, 1, maxCueLines, &options->split.maxLines, &error))
        return error;
    if (parser.isSet(u"max-duration"_s)
        && !readSeconds(parser, u"max-duration"_s, minDurationLimit, maxDurationLimit,
                        &options->split.maxDuration, &error))
        return error;
    // The start is read at the transcript's rate.
    const QString start = parser.value(u"start"_s);
    options->startAuto = start == u"auto";
    if (!start.isEmpty() && !options->startAuto) {
        options->start = parseTimecode(start, options->rate);
        if (!options->start)
            return QObject::tr("cuefold: --start takes auto or a timecode (HH:MM:SS:FF, or "
                               "HH:MM:SS;FF at 29.97 and 59.94), not '%1'\n")
                    .arg(start);
        // A field past its range would carry into the next one up: a start nobody wrote.
        if (framePosition(*options->start, options->rate).carried)
            return QObject::tr("cuefold: --start %1 has a field past its range: frames go to "
                               "%2 at %3 fps, minutes and seconds to 59\n")
                    .arg(start)
                    .arg(options->rate.nominal - 1)
                    .arg(frameRateName(options->rate));
    }
    for (const QString &name : {u"max-lines"_s, u"max-duration"_s}) {
        if (parser.isSet(name) && !options->split.maxChars)
            return QObject::tr("cuefold: --%1 needs --max-chars\n").arg(name);
    }
    options->check = parser.isSet(u"check"_s) || parser.isSet(u"strict"_s);
    // A list of speakers, and speakers' names, are of use only with labels, so they take them.
    options->speakerNames = parser.isSet(u"speaker-names"_s);
    options->voices = parser.isSet(u"voices"_s) || parser.isSet(u"speakers"_s)
            || options->speakerNames;
    if (parser.isSet(u"speakers"_s))
        options->speakers = Speakers::listed(parser.value(u"speakers"_s));
    options->keepLines = parser.isSet(u"keep-lines"_s);
    if (parser.isSet(u"voice"_s) && parser.isSet(u"no-voice"_s))
        return QObject::tr("cuefold: --voice does not go with --no-voice\n");
    if (parser.isSet(u"voice"_s)) {
        const QString voice = parser.value(u"voice"_s);
        // A line break would end the cue early; a tab or any other control hides in it.
        if (std::any_of(voice.begin(), voice.end(),
                        [](QChar c) { return c.category() == QChar::Other_Control; }))
            return QObject::tr("cuefold: --voice takes no control characters, such as a line "
                               "break\n");
        options->voice = voice.toUtf8();
    }
    if (parser.isSet(u"no-voice"_s))
        options->voice.clear();
    if (parser.isSet(u"lang"_s)) {
        // A BCP 47 tag: "en", "pt-BR", "zh-Hant-TW".
        static const QRegularExpression tag(u"^[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*$"_s);
        const QString language = parser.value(u"lang"_s);
        if (!tag.match(language).hasMatch())
            return QObject::tr("cuefold: --lang takes a language tag such as en or pt-BR, "
                               "not '%1'\n")
                    .arg(language);
        options->language = language.toUtf8();
    }
    return QString();
}

QList<QCommandLineOption> options()
{
    const auto range = [](int low, int high) { return u"%1 to %2"_s.arg(low).arg(high); };
    return {
            {{u"i"_s, u"input"_s}, u"Path to the input transcript file"_s, u"file"_s},
            {{u"o"_s, u"output"_s}, u"Path to the output VTT file"_s, u"file"_s},
            {u"output-dir"_s, u"Convert each FILE into DIR/NAME.vtt (.srt, .ttml)"_s, u"dir"_s},
            {u"format"_s,
             u"Document format: %1 (default: by the output's extension, else vtt)"_s.arg(
                     listed(formatNames())),
             u"format"_s},
            {u"lang"_s, u"Language of the captions, as TTML names it (default en)"_s,
             u"tag"_s},
            {u"force"_s, u"Replace an existing output that is not a WebVTT document"_s},
            {u"fps"_s, rateHelp(), u"rate"_s},
            {u"start"_s,
             u"Timecode of the video's first frame, or auto (the hour of the first timing)"_s,
             u"timecode"_s},
            {u"max-chars"_s,
             u"Split passages into cues of lines of at most N characters (%1)"_s.arg(
                     range(minLineLength, maxLineLength)),
             u"n"_s},
            {u"max-lines"_s,
             u"At most N lines a cue (%1; default %2); needs --max-chars"_s
                     .arg(range(1, maxCueLines))
                     .arg(defaultCueLines),
             u"n"_s},
            {u"max-duration"_s,
             u"At most S seconds a cue where the passage allows (%1; default %2); needs "
             "--max-chars"_s
                     .arg(range(minDurationLimit, maxDurationLimit))
                     .arg(defaultCueMilliseconds / 1000),
             u"s"_s},
            {u"voices"_s,
             u"Take speaker labels (\"ANNA: ...\"), names in capitals or used more than once, "
             "as the voice of what follows"_s},
            {u"speaker-names"_s,
             u"Start the text with the speaker's name (\"ANNA: \") where the speaker changes "
             "and no dialogue dash shows it; implies --voices"_s},
            {u"speakers"_s,
             u"Take only these labels as speakers (\"Anna Berg,Q,A\"); implies --voices"_s,
             u"names"_s},
            {u"voice"_s, u"The voice of text with no speaker label (default Speaker)"_s,
             u"name"_s},
            {u"no-voice"_s, u"Write no voice tag for text with no speaker label"_s},
            {u"keep-lines"_s, u"Keep each transcript line a line of its cue"_s},
            {u"encoding"_s,
             u"Read transcripts without a byte-order mark in this encoding (default UTF-8; "
             "windows-1252, ISO-8859-15, Shift_JIS ...)"_s,
             u"name"_s},
            {u"check"_s, u"Also report the captions' style and timing problems"_s},
            {u"strict"_s, u"As --check, and write nothing if anything is reported"_s},
            {{u"q"_s, u"quiet"_s}, u"Print no success lines; warnings and errors still"_s},
    };
}

// Every option once, and none with an empty value but --input and --output, whose empty
// value is a missing one.
QString checkRepeats(const QCommandLineParser &parser)
{
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption &option : options()) {
        const QStringList names = option.names();
        const auto count = std::count_if(given.begin(), given.end(),
                                         [&](const QString &name) { return names.contains(name); });
        const QString name = names.constLast();
        if (count > 1)
            return QObject::tr("cuefold: --%1 given more than once\n").arg(name);
        if (count == 1 && !option.valueName().isEmpty() && parser.value(name).isEmpty()
            && name != u"input" && name != u"output")
            return QObject::tr("cuefold: --%1 needs a value\n").arg(name);
    }
    return QString();
}

} // namespace

void addOptions(QCommandLineParser &parser)
{
    parser.addOptions(options());
    parser.addPositionalArgument(
            u"FILE"_s, u"With --output-dir, the transcripts to convert"_s,
            u"--input FILE --output FILE\n       cuefold [options] --output-dir DIR FILE..."_s);
}

QString readSettings(const QCommandLineParser &parser, Settings *settings)
{
    if (const QString error = checkRepeats(parser); !error.isEmpty())
        return error;
    const QString error = readConversion(parser, &settings->conversion);
    if (!error.isEmpty())
        return error;
    settings->strict = parser.isSet(u"strict"_s);
    settings->force = parser.isSet(u"force"_s);
    settings->quiet = parser.isSet(u"quiet"_s);
    if (parser.isSet(u"format"_s)) {
        const QString name = parser.value(u"format"_s);
        settings->format = formatNamed(name);
        if (!settings->format)
            return QObject::tr("cuefold: --format takes %1, not '%2'\n")
                    .arg(listed(formatNames()), name);
    }
    settings->encoding = parser.value(u"encoding"_s);
    if (parser.isSet(u"encoding"_s)
        && !QStringDecoder(settings->encoding.toLatin1().constData()).isValid())
        return QObject::tr("cuefold: --encoding does not know '%1'\n").arg(settings->encoding);
    settings->input = parser.value(u"input"_s);
    settings->output = parser.value(u"output"_s);
    settings->files = parser.positionalArguments();
    settings->batch = parser.isSet(u"output-dir"_s);
    if (settings->batch) {
        settings->folder = parser.value(u"output-dir"_s);
        if (parser.isSet(u"input"_s) || parser.isSet(u"output"_s))
            return QObject::tr("cuefold: --output-dir does not go with --input or --output\n");
        if (settings->files.isEmpty())
            return QObject::tr("cuefold: --output-dir needs the files to convert\n");
    } else if (!settings->files.isEmpty()) {
        return QObject::tr("cuefold: unexpected argument '%1'\n").arg(settings->files.constFirst());
    }
    return QString();
}
