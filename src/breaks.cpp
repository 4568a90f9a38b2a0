// Where a passage breaks well between two words: word classes and break classes.
#include "breaks.h"

#include "text.h"

#include <QChar>
#include <QStringView>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// The word lists, English only and kept short, each word with what it is (Listed).
enum Listed : quint8 {
    // A word a subtitler will not leave at the end of a line, because it leads into what
    // follows: an article, determiner, possessive or preposition.
    Leading = 1,
    // An abbreviation that leads into a name, a word or a number ("Dr. / Smith", "pp. / 112"),
    // whose dot ends nothing.
    Title = 2,
    // An abbreviation before a number ("No. 5", "p. 12") that may end a sentence before
    // anything else ("I said no.").
    Numbering = 4,
    // A word that opens a clause: a line may start with one, not end with one.
    Opening = 8,
};
struct ListedWord
{
    QByteArrayView word;
    quint8 kinds;
};
constexpr ListedWord listed[] = {
        {"a", Leading}, {"an", Leading}, {"the", Leading}, {"this", Leading}, {"that", Leading},
        {"these", Leading}, {"those", Leading}, {"my", Leading}, {"your", Leading},
        {"his", Leading}, {"her", Leading}, {"its", Leading}, {"our", Leading},
        {"their", Leading}, {"of", Leading}, {"to", Leading}, {"in", Leading}, {"on", Leading},
        {"at", Leading}, {"by", Leading}, {"for", Leading}, {"with", Leading},
        {"from", Leading}, {"into", Leading}, {"about", Leading}, {"over", Leading},
        {"under", Leading}, {"through", Leading}, {"between", Leading}, {"without", Leading},
        {"before", Leading}, {"after", Leading}, {"mr", Title}, {"mrs", Title}, {"ms", Title},
        {"dr", Title}, {"prof", Title}, {"st", Title}, {"mt", Title}, {"vs", Title},
        {"cf", Title}, {"pp", Title}, {"vol", Title}, {"vols", Title}, {"fig", Title},
        {"figs", Title}, {"ch", Title}, {"chap", Title}, {"ca", Title}, {"no", Numbering},
        {"nos", Numbering}, {"p", Numbering}, {"art", Numbering}, {"sec", Numbering},
        {"pt", Numbering}, {"op", Numbering}, {"ed", Numbering}, {"eq", Numbering},
        {"and", Opening}, {"but", Opening}, {"or", Opening}, {"nor", Opening}, {"so", Opening},
        {"because", Opening}, {"which", Opening}, {"who", Opening}, {"when", Opening},
        {"while", Opening}, {"if", Opening}, {"then", Opening}};
constexpr qsizetype longestListed = 7; // "between", "because": longer words need no look-up

// A word of up to eight bytes as one number, to compare in one step.
constexpr quint64 packed(QByteArrayView word)
{
    quint64 key = 0;
    for (qsizetype i = 0; i < word.size(); ++i)
        key |= quint64(uchar(word[i])) << (8 * i);
    return key;
}

// The words of each length and first letter, so that a look-up compares a few at most.
struct ListedIndex
{
    quint8 from[longestListed + 1][27] = {}; // into `order`; letter 26 is the end
    quint8 order[std::size(listed)] = {};
    quint64 keys[std::size(listed)] = {}; // packed(), in `order`
    constexpr ListedIndex()
    {
        quint8 next = 0;
        for (qsizetype size = 1; size <= longestListed; ++size) {
            for (int letter = 0; letter < 26; ++letter) {
                from[size][letter] = next;
                for (size_t k = 0; k < std::size(listed); ++k) {
                    if (listed[k].word.size() == size && listed[k].word[0] == 'a' + letter) {
                        keys[next] = packed(listed[k].word);
                        order[next++] = quint8(k);
                    }
                }
            }
            from[size][26] = next;
        }
    }
};
constexpr ListedIndex listedIndex;

// What a word of lower-case letters and dots is on the lists; 0 if none.
quint8 listedKinds(QByteArrayView bare)
{
    if (bare.size() > longestListed || bare[0] < 'a' || bare[0] > 'z')
        return 0;
    const quint8(&from)[27] = listedIndex.from[bare.size()];
    const int letter = bare[0] - 'a';
    const quint64 key = packed(bare);
    for (quint8 k = from[letter]; k < from[letter + 1]; ++k) {
        if (listedIndex.keys[k] == key)
            return listed[listedIndex.order[k]].kinds;
    }
    return 0;
}

// Quotes and brackets, beyond the ASCII ones: “ ‘ « ¿ ¡ and full-width
// （ 「 『 【 《 〈, ” ’ » and ） 」 』 】 》 〉, and their entities.
constexpr QByteArrayView openers[] = {"\xe2\x80\x9c", "\xe2\x80\x98", "\xc2\xab", "\xc2\xbf",
                                      "\xc2\xa1", "\xef\xbc\x88", "\xe3\x80\x8c", "\xe3\x80\x8e",
                                      "\xe3\x80\x90", "\xe3\x80\x8a", "\xe3\x80\x88", "&quot;",
                                      "&#34;", "&#39;", "&apos;"};
constexpr QByteArrayView closers[] = {"\xe2\x80\x9d", "\xe2\x80\x99", "\xc2\xbb", "\xef\xbc\x89",
                                      "\xe3\x80\x8d", "\xe3\x80\x8f", "\xe3\x80\x91",
                                      "\xe3\x80\x8b", "\xe3\x80\x89", "&quot;", "&#34;", "&#39;",
                                      "&apos;"};
// Full-width marks of scripts written without spaces: 。． ！ ？ and ， 、 ： ；
constexpr QByteArrayView wideStops[] = {"\xe3\x80\x82", "\xef\xbc\x8e"};
constexpr QByteArrayView wideExclaims[] = {"\xef\xbc\x81", "\xef\xbc\x9f"};
constexpr QByteArrayView wideClauses[] = {"\xef\xbc\x8c", "\xe3\x80\x81", "\xef\xbc\x9a",
                                          "\xef\xbc\x9b"};
constexpr QByteArrayView dashes[] = {"\xe2\x80\x93", "\xe2\x80\x94"}; // en and em dash

// As ==, without the library call that == makes for views of one size.
bool same(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), size_t(a.size())) == 0;
}

bool is(QByteArrayView u, char c)
{
    return u.size() == 1 && u[0] == c;
}

constexpr QByteArrayView ellipsis = "\xe2\x80\xa6";

template<size_t N>
bool isListed(QByteArrayView word, const QByteArrayView (&list)[N])
{
    for (const QByteArrayView item : list) {
        if (word[0] == item[0] && same(word, item))
            return true;
    }
    return false;
}

// Most units are one ASCII character, told apart without a look-up.
bool isOpener(QByteArrayView u)
{
    if (u.size() == 1)
        return u[0] == '"' || u[0] == '\'' || u[0] == '(' || u[0] == '[';
    return isListed(u, openers);
}

bool isCloser(QByteArrayView u)
{
    if (u.size() == 1)
        return u[0] == '"' || u[0] == '\'' || u[0] == ')' || u[0] == ']';
    return isListed(u, closers);
}

bool isDash(QByteArrayView u)
{
    return u.size() == 1 ? u[0] == '-' : isListed(u, dashes);
}

char32_t codePoint(QByteArrayView u)
{
    if (u.size() == 1 || u[0] == '&')
        return uchar(u[0]);
    int length;
    return codePointAt(u.data(), &length);
}

constexpr bool isEndMark(char c)
{
    return c == '.' || c == ',' || c == ';' || c == ':' || c == '!' || c == '?';
}

template<typename Units>
bool isEllipsisAt(Units u, qsizetype i, qsizetype count)
{
    return same(u[i], ellipsis)
            || (i + 2 < count && is(u[i], '.') && is(u[i + 1], '.') && is(u[i + 2], '.'));
}

template<typename Units>
StartMark startMark(Units u, qsizetype first, qsizetype count)
{
    if (first == count)
        return StartMark::Other;
    if (isEllipsisAt(u, first, count))
        return StartMark::Ellipsis;
    if (isDash(u[first]))
        return StartMark::Dash;
    if (u[first].startsWith('&'))
        return StartMark::Other;
    if (isAsciiDigit(u[first][0]))
        return StartMark::Digit;
    const char32_t c = codePoint(u[first]);
    return QChar::isLower(c) ? StartMark::Lower
            : QChar::isUpper(c) ? StartMark::Upper
                                : StartMark::Other;
}

// The mark that units [first, last) end with; a full stop is taken for a sentence's here.
template<typename Units>
EndMark endMark(Units u, qsizetype first, qsizetype last)
{
    if (last == first)
        return EndMark::None;
    if (same(u[last - 1], ellipsis)
        || (last - first >= 3 && is(u[last - 3], '.') && is(u[last - 2], '.')
            && is(u[last - 1], '.')))
        return EndMark::Ellipsis;
    if (u[last - 1].size() != 1) {
        return isListed(u[last - 1], wideStops)  ? EndMark::Stop
                : isListed(u[last - 1], wideExclaims) ? EndMark::Exclaim
                : isListed(u[last - 1], wideClauses)  ? EndMark::Clause
                                                      : EndMark::None;
    }
    switch (u[last - 1][0]) {
    case '.':
        return EndMark::Stop;
    case '!':
    case '?':
        return EndMark::Exclaim;
    case ',':
    case ';':
    case ':':
        return EndMark::Clause;
    default:
        return EndMark::None;
    }
}

// The lower-case ASCII letters and dots of units [first, end) in `buffer`, or nothing for
// any other word.
template<typename Units>
QByteArrayView bareWord(Units u, qsizetype first, qsizetype end,
                        char (&buffer)[longestListed + 3])
{
    if (end - first > qsizetype(sizeof buffer)) // "e.g" and "U.S" hold dots
        return {};
    for (qsizetype i = first; i < end; ++i) {
        const char c = u[i][0];
        if (u[i].size() != 1 || (!isAsciiAlnum(c) && c != '.'))
            return {};
        buffer[i - first] = char(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return QByteArrayView(buffer, end - first);
}

// A dot inside a word between two letters: "e.g", "U.S", "a.m"; not "3.5".
bool hasInnerDot(QByteArrayView bare)
{
    for (qsizetype i = 1; i + 1 < bare.size(); ++i) {
        if (bare[i] == '.' && bare[i - 1] >= 'a' && bare[i + 1] >= 'a')
            return true;
    }
    return false;
}

// Scripts written without spaces between words: CJK ideographs and their marks, kana, Thai,
// Lao, Myanmar, Khmer.
bool isSpaceless(char32_t c)
{
    return (c >= 0x0E00 && c <= 0x0EFF) || (c >= 0x1000 && c <= 0x109F)
            || (c >= 0x1780 && c <= 0x17FF) || (c >= 0x3000 && c <= 0x30FF)
            || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)
            || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// What never starts a line: closing marks, marks that combine with the character before,
// the vowels and repetition marks Thai and Lao write after a consonant, and in Japanese small
// kana, the long-vowel mark and repetition marks.
bool isLineStartBanned(QByteArrayView u, char32_t c)
{
    if (u.size() == 1)
        return QByteArrayView(".,;:!?)]}\"'%").contains(u[0]);
    const QChar::Category category = QChar::category(c);
    return isCloser(u) || isListed(u, wideStops) || isListed(u, wideExclaims)
            || isListed(u, wideClauses) || category == QChar::Mark_NonSpacing
            || category == QChar::Mark_SpacingCombining || category == QChar::Mark_Enclosing
            || QStringView(u"\u0E2F\u0E30\u0E32\u0E33\u0E45\u0E46\u0EAF\u0EB0\u0EB2\u0EB3\u0EC6")
                       .contains(QChar(char16_t(c)))
            || QStringView(u"ぁぃぅぇぉっゃゅょゎゕゖァィゥェォッャュョ"
                           u"ヮヵヶーゝゞヽヾ々…")
                       .contains(QChar(char16_t(c)));
}

// What never ends a line: opening marks, and the vowels Thai and Lao write before the
// consonant they follow in speech.
bool isLineEndBanned(QByteArrayView u, char32_t c)
{
    return isOpener(u) || (c >= 0x0E40 && c <= 0x0E44) || (c >= 0x0EC0 && c <= 0x0EC4);
}

} // namespace

bool mayBreakBetween(QByteArrayView left, QByteArrayView right)
{
    if (left.size() == 1 && right.size() == 1)
        return false; // ASCII, or an entity's '&'
    const char32_t l = codePoint(left);
    const char32_t r = codePoint(right);
    return (isSpaceless(l) || isSpaceless(r)) && !isLineStartBanned(right, r)
            && !isLineEndBanned(left, l);
}

namespace {

// A word's units, read through `u[i]`: views of its pieces, or of its ASCII characters.
template<typename Units>
WordTraits traitsOf(Units u, qsizetype count)
{
    WordTraits traits;
    qsizetype first = 0;
    while (first < count && isOpener(u[first]))
        ++first;
    qsizetype last = count; // one past the last unit before closers
    while (last > first && isCloser(u[last - 1]))
        --last;
    traits.start = startMark(u, first, count);
    bool allDashes = first < last;
    for (qsizetype i = first; i < last && allDashes; ++i)
        allDashes = isDash(u[i]);
    if (allDashes) {
        traits.role = Role::Dash;
        return traits;
    }
    traits.end = endMark(u, first, last);
    qsizetype letters = last; // the word without its end mark
    while (letters > first && u[letters - 1].size() == 1 && isEndMark(u[letters - 1][0]))
        --letters;
    char buffer[longestListed + 3];
    qsizetype lead = first; // "...the" leads into what follows as "the" does
    if (traits.start == StartMark::Ellipsis)
        lead = std::min(lead + (u[first].size() == 1 ? 3 : 1), letters);
    const QByteArrayView bare = bareWord(u, lead, letters, buffer);
    if (bare.isEmpty())
        return traits;
    const quint8 kinds = listedKinds(bare);
    const bool title = kinds & Title;
    if (kinds & (Title | Leading))
        traits.role = Role::Binding;
    else if (kinds & Opening)
        traits.role = Role::Conjunction;
    if (traits.end == EndMark::Stop) {
        const bool initial = bare.size() == 1 && u[lead][0] >= 'A' && u[lead][0] <= 'Z';
        if (title || initial) {
            traits.end = EndMark::Abbreviation;
            traits.role = Role::Binding;
        } else if (hasInnerDot(bare)) {
            traits.end = EndMark::Abbreviation;
        } else if (kinds & Numbering) {
            traits.end = EndMark::Numbering;
        }
    }
    return traits;
}
} // namespace

WordTraits wordTraits(const QByteArrayView *units, qsizetype count)
{
    return traitsOf(units, count);
}

WordTraits wordTraits(QByteArrayView head, QByteArrayView tail)
{
    struct Characters
    {
        QByteArrayView head;
        QByteArrayView tail;
        QByteArrayView operator[](qsizetype i) const
        {
            return i < head.size() ? head.sliced(i, 1) : tail.sliced(i - head.size(), 1);
        }
    };
    // Most words are letters alone: no marks, quotes or brackets to weigh.
    const auto isLetter = [](char c) { return uchar((c | 0x20) - 'a') < 26; };
    if (tail.isEmpty() && std::all_of(head.begin(), head.end(), isLetter)) {
        WordTraits traits;
        traits.start = head[0] >= 'a' ? StartMark::Lower : StartMark::Upper;
        char buffer[longestListed];
        if (head.size() <= longestListed) {
            for (qsizetype i = 0; i < head.size(); ++i)
                buffer[i] = char(head[i] | 0x20);
            const quint8 kinds = listedKinds(QByteArrayView(buffer, head.size()));
            traits.role = kinds & (Title | Leading) ? Role::Binding
                    : kinds & Opening               ? Role::Conjunction
                                                    : Role::Plain;
        }
        return traits;
    }
    return traitsOf(Characters{head, tail}, head.size() + tail.size());
}

namespace {

constexpr Break breakRule(const WordTraits &before, bool beforeOpens, const WordTraits &after)
{
    if (before.role == Role::Dash) {
        if (beforeOpens)
            return Break::Bad; // a turn's dash stays with its words
        return after.start == StartMark::Upper ? Break::Sentence : Break::Clause;
    }
    Break b = Break::Plain;
    switch (before.end) {
    case EndMark::Numbering:
        if (after.start == StartMark::Digit)
            return Break::Bad;
        [[fallthrough]];
    case EndMark::Stop:
        // A lower-case word after a full stop makes it an abbreviation that no list holds.
        b = after.start == StartMark::Lower ? Break::Plain : Break::Sentence;
        break;
    case EndMark::Exclaim:
        b = after.start == StartMark::Lower ? Break::Clause : Break::Sentence;
        break;
    case EndMark::Ellipsis: // "So... What" ends a sentence, "the... ...phone" pauses in one
        b = after.start == StartMark::Upper || after.start == StartMark::Dash ? Break::Sentence
                                                                             : Break::Clause;
        break;
    case EndMark::Clause:
        b = Break::Clause;
        break;
    case EndMark::None:
    case EndMark::Abbreviation:
        break;
    }
    if (b == Break::Sentence && after.start == StartMark::Dash)
        return Break::Forced;
    if (after.role == Role::Dash) // a dash that opens no turn belongs to the word before it
        return Break::Bad;
    if (b != Break::Plain)
        return b;
    if (before.role == Role::Binding || before.role == Role::Conjunction)
        return Break::Bad;
    return after.role == Role::Binding || after.role == Role::Conjunction ? Break::Phrase
                                                                          : Break::Plain;
}

static_assert(int(EndMark::Numbering) + 1 == BreakTable::endMarks);
static_assert(int(StartMark::Dash) + 1 == BreakTable::startMarks);
static_assert(int(Role::Dash) + 1 == BreakTable::roles);

} // namespace

const std::array<Break, BreakTable::size> BreakTable::breaks = [] {
    std::array<Break, size> table{};
    for (int role = 0; role < roles; ++role) {
        for (int end = 0; end < endMarks; ++end) {
            for (const bool opens : {false, true}) {
                for (int start = 0; start < startMarks; ++start) {
                    for (int afterRole = 0; afterRole < roles; ++afterRole) {
                        const WordTraits before{EndMark(end), StartMark::Other, Role(role)};
                        const WordTraits after{EndMark::None, StartMark(start), Role(afterRole)};
                        table[size_t(index(before, opens, after))] =
                                breakRule(before, opens, after);
                    }
                }
            }
        }
    }
    return table;
}();
