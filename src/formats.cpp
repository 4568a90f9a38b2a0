// The list of formats.
#include "formats.h"

// Each is defined in its own file under formats/.
extern const Format webVttFormat, srtFormat, ttmlFormat;

namespace {

// The first is the default.
const Format *const formats[] = {&webVttFormat, &srtFormat, &ttmlFormat};

} // namespace

const Format &defaultFormat()
{
    return *formats[0];
}

const Format *formatNamed(QStringView name)
{
    for (const Format *format : formats) {
        if (format->name == name)
            return format;
    }
    return nullptr;
}

const Format &formatForPath(QStringView path)
{
    for (const Format *format : formats) {
        if (path.endsWith(format->extension, Qt::CaseInsensitive))
            return *format;
    }
    return defaultFormat();
}

QStringList formatNames()
{
    QStringList names;
    for (const Format *format : formats)
        names.append(format->name.toString());
    return names;
}
