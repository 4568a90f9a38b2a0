// Speakers' labels, the evidence that they name speakers, and voice tags.
#include "speakers.h"

#include "text.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>

namespace {

// Distinct names kept while reading ahead. A transcript has a few speakers; a long one may
// open thousands of lines with other words, and when the table is full the names seen once
// are forgotten.
constexpr qsizetype maxCandidates = 1024;

constexpr QByteArrayView fullWidthColon("\xEF\xBC\x9A", 3);

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

bool isNameCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == u'\'' || c == u'\u2019'
            || c == u'.' || c == u'-' || c == u'#' || c == u'\u00B7' || c == u'\u30FB';
}

template<size_t N> bool isListed(const QString &word, const char *const (&list)[N])
{
    const QByteArray lower = word.toLower().toUtf8();
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char *listed) { return lower == listed; });
}

bool isCapitals(const QString &name) { return name.toUpper() == name && name.toLower() != name; }

// The case a word's first letter is in: 1 upper, -1 lower, 0 none ("#2").
int initialCase(const QString &word)
{
    const auto letter
            = std::find_if(word.begin(), word.end(), [](QChar c) { return c.isLetter(); });
    return letter == word.end() ? 0 : letter->isUpper() ? 1 : letter->isLower() ? -1 : 0;
}

// A name rather than a heading or the start of a sentence. A name's words start alike, as in
// "Mary van Dyke" or "anna berg"; "John said" and "Breaking news" are sentences.
bool looksLikeName(const QString &name)
{
    const QStringList words = name.split(u' ');
    if (isListed(words.front(), notSpeakers))
        return false;
    if (isCapitals(name))
        return true;
    if (words.size() > 1 && isListed(words.front(), sentenceOpeners))
        return false;
    const auto last = std::find_if(words.rbegin(), words.rend(),
                                   [](const QString &word) { return initialCase(word) != 0; });
    return last == words.rend() || initialCase(words.front()) == initialCase(*last);
}

struct Marks
{
    QByteArrayView open;
    QByteArrayView close;
};
// Parentheses around an extension, and brackets around a name, as Western and East Asian
// transcripts write them: "李明（画外音）：", "【李明】：".
constexpr Marks parentheses[] = {{"(", ")"}, {"\uFF08", "\uFF09"}};
constexpr Marks brackets[] = {{"[", "]"}, {"\u3010", "\u3011"}, {"\uFF3B", "\uFF3D"}};

// "NARRATOR (V.O.)" speaks as NARRATOR; "[ANNA]" as ANNA.
QByteArrayView withoutDecoration(QByteArrayView name)
{
    for (const Marks &marks : parentheses) {
        const qsizetype open = name.lastIndexOf(marks.open);
        if (name.endsWith(marks.close) && open > 0
            && QString::fromUtf8(name.sliced(open)).size() <= maxExtensionLength + 2) {
            name = name.first(open);
            while (!name.isEmpty() && isBlank(name.back()))
                name.chop(1);
        }
    }
    for (const Marks &marks : brackets) {
        if (name.size() > marks.open.size() + marks.close.size() && name.startsWith(marks.open)
            && name.endsWith(marks.close))
            name = name.sliced(marks.open.size(),
                               name.size() - marks.open.size() - marks.close.size());
    }
    return name;
}

// After an ASCII colon with no space, these show a time ("10:30"), a ratio ("3:2"), an address
// ("http://") or a path ("C:\"), not a label.
bool continuesWord(char next)
{
    return isAsciiDigit(next) || next == '/' || next == '\\' || next == ':';
}

} // namespace

SpeakerLabel speakerLabel(QByteArrayView line)
{
    const SpeakerLabel none{{}, line};
    // The colon and the character after it lie within reach.
    const char *const begin = line.data();
    const char *const end = begin + std::min(line.size(), labelReach - 4);
    const char *colon = findByte(begin, end, ':');
    const char *wide = findByte(begin, colon, fullWidthColon[0]);
    while (wide != colon && !QByteArrayView(wide, end - wide).startsWith(fullWidthColon))
        wide = findByte(wide + 1, colon, fullWidthColon[0]);
    qsizetype after = colon - begin + 1;
    if (wide != colon) {
        colon = wide;
        after = wide - begin + fullWidthColon.size();
    }
    if (colon == begin || colon == end)
        return none;
    if (after - (colon - begin) == 1 && after < line.size() && !isBlank(line[after])
        && continuesWord(line[after]))
        return none;
    const QByteArrayView name = withoutDecoration(line.first(colon - begin));
    const QString text = QString::fromUtf8(name);
    if (text.isEmpty() || text.size() > maxLabelLength || !text.front().isLetter())
        return none;
    const QStringList words = text.split(u' ');
    if (words.size() > maxLabelWords)
        return none;
    for (const QString &word : words) {
        const QList<uint> characters = word.toUcs4();
        if (word.isEmpty() || !std::all_of(characters.begin(), characters.end(), isNameCharacter))
            return none;
    }
    return {name, trimmed(line.data() + after, line.data() + line.size())};
}

Speakers Speakers::listed(const QString &names)
{
    Speakers speakers;
    speakers.m_listed = true;
    for (const QString &name : names.split(u',')) {
        if (!name.trimmed().isEmpty())
            speakers.m_uses.insert(name.trimmed().toLower(), {});
    }
    return speakers;
}

const Speakers::Name &Speakers::nameOf(QByteArrayView spelling) const
{
    const QByteArray bytes = spelling.toByteArray();
    if (const auto found = m_names.constFind(bytes); found != m_names.cend())
        return *found;
    if (m_names.size() >= maxCandidates)
        m_names.clear();
    const QString name = QString::fromUtf8(spelling);
    return *m_names.insert(bytes, {name.toLower(), looksLikeName(name), isCapitals(name)});
}

void Speakers::count(const SpeakerLabel &label, bool withText)
{
    if (m_listed || !nameOf(label.name).plausible)
        return;
    const QString &key = nameOf(label.name).key;
    auto found = m_uses.find(key);
    if (found == m_uses.end()) {
        if (m_uses.size() >= maxCandidates)
            m_uses.removeIf([](const auto &use) { return use.value().count == 1; });
        if (m_uses.size() >= maxCandidates)
            return;
        found = m_uses.insert(key, {});
    }
    ++found->count;
    found->withText = found->withText || withText;
}

bool Speakers::isSpeaker(const SpeakerLabel &label) const
{
    const Name &name = nameOf(label.name);
    if (m_listed)
        return m_uses.contains(name.key);
    const Uses uses = m_uses.value(name.key);
    return name.plausible && (name.capitals || (uses.count > 1 && uses.withText));
}

bool SpeakerScan::feed(QByteArrayView text)
{
    const char *p = text.data();
    const char *const end = p + text.size();
    if (m_skipLineFeed && p < end) {
        m_skipLineFeed = false;
        if (*p == '\n')
            ++p;
    }
    // Line ends found ahead, kept until passed, as the converter's line reader does.
    const char *lineFeed = nullptr;
    const char *cr = nullptr;
    while (p < end) {
        if (!lineFeed || lineFeed < p)
            lineFeed = findByte(p, end, '\n');
        if (!cr || cr < p)
            cr = findByte(p, end, '\r');
        const char *const lineEnd = std::min(lineFeed, cr);
        if (m_start.isEmpty()) {
            while (p < lineEnd && isBlank(*p))
                ++p;
        }
        qsizetype taken = std::min(labelReach - m_start.size(), qsizetype(lineEnd - p));
        while (taken > 0 && p + taken < lineEnd && (uchar(p[taken]) & 0xC0) == 0x80)
            --taken; // whole characters only
        m_start.append(p, taken);
        m_cut = m_cut || p + taken < lineEnd;
        if (lineEnd == end)
            break;
        takeLine();
        p = lineEnd + 1;
        if (*lineEnd == '\r') {
            if (p == end)
                m_skipLineFeed = true;
            else if (*p == '\n')
                ++p;
        }
    }
    return true;
}

void SpeakerScan::finish()
{
    if (!m_start.isEmpty())
        takeLine();
}

void SpeakerScan::takeLine()
{
    ++m_ended;
    const SpeakerLabel label = speakerLabel(trimmed(m_start.cbegin(), m_start.cend()));
    if (!label.name.isEmpty())
        m_speakers.count(label, !label.text.isEmpty() || m_cut);
    m_start.clear();
    m_cut = false;
}

QByteArray shownName(QByteArrayView voice)
{
    // A byte-order mark that starts the name is one of its characters, which fromUtf8() drops.
    QStringDecoder decode(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return QString(decode(voice)).toUpper().toUtf8() + ": ";
}

QByteArray voiceTag(QByteArrayView name)
{
    if (name.isEmpty())
        return QByteArray();
    QByteArray escaped = name.toByteArray();
    escaped.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    return "<v " + escaped + '>';
}
