// Speakers' labels and voice tags.
#include "speakers.h"

#include "text.h"

#include <QString>
#include <QStringList>

#include <algorithm>

namespace {

// Words that people end with a colon in notes and headings, not in naming who speaks.
constexpr const char *notSpeakers[]
        = {"note",     "notes",    "nb",      "ps",     "warning", "caution", "tip",
           "example",  "update",   "edit",    "re",     "subject", "date",    "time",
           "place",    "location", "summary", "title",  "scene",   "chapter", "step",
           "duration", "tape",     "reel",    "source", "link",    "email",   "phone"};

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'\'' || c == u'\u2019' || c == u'.' || c == u'-';
}

bool isNotSpeaker(const QString &firstWord)
{
    const QByteArray word = firstWord.toLower().toUtf8();
    for (const char *note : notSpeakers) {
        if (word == note)
            return true;
    }
    return false;
}

} // namespace

SpeakerLabel speakerLabel(QByteArrayView line)
{
    // A label's colon comes within its longest UTF-8 spelling.
    const qsizetype colon = line.first(std::min(line.size(), 4 * maxLabelLength + 1)).indexOf(':');
    if (colon <= 0 || (colon + 1 < line.size() && !isBlank(line[colon + 1])))
        return {{}, line};
    const QString name = QString::fromUtf8(line.first(colon));
    if (name.size() > maxLabelLength || !name.front().isUpper())
        return {{}, line};
    const QStringList words = name.split(u' ');
    if (words.size() > maxLabelWords || isNotSpeaker(words.front()))
        return {{}, line};
    for (const QString &word : words) {
        if (word.isEmpty() || !std::all_of(word.begin(), word.end(), isNameCharacter))
            return {{}, line};
    }
    const char *rest = line.data() + colon + 1;
    return {line.first(colon), trimmed(rest, line.data() + line.size())};
}

QByteArray voiceTag(QByteArrayView name)
{
    if (name.isEmpty())
        return QByteArray();
    QByteArray escaped = name.toByteArray();
    escaped.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    return "<v " + escaped + '>';
}
