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

// Words that open sentences, not names: "The reason is simple: ..." names no one. A label of one
// word may still be one ("A:" for the answers of an interview).
constexpr const char *sentenceOpeners[]
        = {"the", "a",    "an",  "this",  "that", "these", "those", "it",    "i",    "we",    "he",
           "she", "they", "you", "there", "here", "what",  "why",   "how",   "when", "where", "and",
           "but", "so",   "or",  "if",    "my",   "our",   "your",  "their", "all",  "some"};

bool isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'\'' || c == u'\u2019' || c == u'.' || c == u'-';
}

template<size_t N> bool isListed(const QString &word, const char *const (&list)[N])
{
    const QByteArray lower = word.toLower().toUtf8();
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char *listed) { return lower == listed; });
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
    if (words.size() > maxLabelWords || isListed(words.front(), notSpeakers)
        || (words.size() > 1 && isListed(words.front(), sentenceOpeners)))
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
