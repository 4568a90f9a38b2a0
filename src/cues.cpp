#include "cues.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A '<' opens a tag when a name, a '/' or a timestamp digit follows it and a '>' comes
// before the next '<'. A space cannot end the search, since <v Anna Maria> is one tag;
// "a < b" and an unclosed "<b" stay visible text, as the converter writes them.
// Each scan stops at the next '<', so a passage is scanned once however many there are.
qsizetype tagEnd(QByteArrayView s, qsizetype i)
{
    if (i + 1 >= s.size() || (!isAsciiAlnum(s[i + 1]) && s[i + 1] != '/'))
        return -1;
    for (qsizetype j = i + 1; j < s.size(); ++j) {
        if (s[j] == '>')
            return j + 1;
        if (s[j] == '<')
            return -1;
    }
    return -1;
}

// &name; &#39; &#x27; -- a bare '&' (as in "a && b") is just a character.
qsizetype entityEnd(QByteArrayView s, qsizetype i)
{
    qsizetype j = i + 1;
    if (j < s.size() && s[j] == '#')
        ++j;
    const qsizetype name = j;
    while (j < s.size() && isAsciiAlnum(s[j]))
        ++j;
    return j > name && j < s.size() && s[j] == ';' ? j + 1 : -1;
}

// The smallest piece a break may not enter: a tag, an entity or one code point.
struct Element
{
    qsizetype end;
    bool isTag;
};

Element nextElement(QByteArrayView s, qsizetype i)
{
    const auto c = uchar(s[i]);
    if (c == '<') {
        if (const qsizetype end = tagEnd(s, i); end >= 0)
            return {end, true};
    } else if (c == '&') {
        if (const qsizetype end = entityEnd(s, i); end >= 0)
            return {end, false};
    }
    const qsizetype length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return {std::min(i + length, s.size()), false};
}

// Break classes, best first, and what a break of each class adds to a split's cost.
enum BreakClass { AfterSentence, AfterClause, BeforeConjunction, AnySpace };
constexpr double classPenalty[] = {0.0, 0.25, 0.5, 1.0};

// Deeper nesting is not carried into the next cue: captions never nest that far, and
// repeating it in every cue would make the output grow with the square of the passage.
constexpr qsizetype maxCarried = 16;

struct Word
{
    qsizetype begin = 0; // bytes of the passage
    qsizetype end = 0;
    qsizetype from = 0; // visible offsets: words [a, b) with their gaps measure to(b-1) - from(a)
    qsizetype to = 0;
    bool sentenceEnd = false;
    bool clauseEnd = false;
    bool conjunction = false;
};

using Units = QVarLengthArray<QByteArrayView, 16>;

bool isCloser(QByteArrayView unit)
{
    for (const char *closer : {"\"", "'", ")", "]", "\xe2\x80\x9d", "\xe2\x80\x99", "\xc2\xbb",
                               "&quot;", "&#34;", "&#39;", "&apos;"}) {
        if (unit == closer)
            return true;
    }
    return false;
}

// Looks at the visible units of a word only, so that "end.</i>" ends a sentence too.
void classify(Word &word, const Units &units)
{
    qsizetype last = units.size();
    while (last > 0 && isCloser(units[last - 1]))
        --last;
    if (last > 0) {
        const QByteArrayView u = units[last - 1];
        word.sentenceEnd = u == "." || u == "!" || u == "?" || u == "\xe2\x80\xa6";
        word.clauseEnd = u == "," || u == ";" || u == ":";
    }
    qsizetype letters = units.size();
    if (letters > 0 && units[letters - 1] == ",")
        --letters;
    if (letters < 2 || letters > 7)
        return;
    QByteArray bare;
    for (qsizetype k = 0; k < letters; ++k)
        bare += units[k];
    bare = std::move(bare).toLower();
    for (const char *conjunction : {"and", "but", "or", "so", "because", "that", "which", "who",
                                    "when", "while", "if", "then"}) {
        if (bare == conjunction) {
            word.conjunction = true;
            return;
        }
    }
}

struct OpenTag
{
    QByteArrayView name;
    QByteArrayView opening;
};

bool isCarried(QByteArrayView name)
{
    return name == "c" || name == "i" || name == "b" || name == "u" || name == "ruby"
            || name == "rt" || name == "v" || name == "lang";
}

class Splitter
{
public:
    Splitter(QByteArrayView text, int maxChars, int maxLines)
        : s(text), maxChars(std::max(maxChars, 1)), maxLines(std::max(maxLines, 1))
    {
    }

    QList<CueText> run()
    {
        tokenize();
        QList<CueText> cues;
        for (qsizetype first = 0; first < count();) {
            const qsizetype limit = fill(first, count());
            const qsizetype end = limit == count() ? limit : chooseCut(first, limit);
            cues.append(makeCue(first, end, end == count()));
            first = end;
        }
        return cues;
    }

private:
    qsizetype count() const { return qsizetype(words.size()); }
    qsizetype width(qsizetype first, qsizetype end) const { return words[end - 1].to - words[first].from; }
    bool fitsLine(qsizetype first, qsizetype end) const
    {
        return end - first == 1 || width(first, end) <= maxChars;
    }

    // The class of a break just before word i.
    BreakClass breakBefore(qsizetype i) const
    {
        if (words[i - 1].sentenceEnd)
            return AfterSentence;
        if (words[i - 1].clauseEnd)
            return AfterClause;
        return words[i].conjunction ? BeforeConjunction : AnySpace;
    }

    void tokenize();
    qsizetype fill(qsizetype first, qsizetype end, int *lines = nullptr) const;
    qsizetype chooseCut(qsizetype first, qsizetype limit) const;
    std::vector<qsizetype> lineStarts(qsizetype first, qsizetype end, int lines) const;
    void applyTag(QByteArrayView tag);
    CueText makeCue(qsizetype first, qsizetype end, bool last);

    QByteArrayView s;
    int maxChars;
    int maxLines;
    std::vector<Word> words;
    QList<OpenTag> open;
};

void Splitter::tokenize()
{
    Units units;
    Word word;
    bool inWord = false;
    qsizetype visible = 0;
    // Tags standing alone stay with the text they mark up, so that no line ends in "<i>"
    // or starts with "</i>": end tags join the word before, other tags the word after.
    const auto finish = [&](qsizetype end) {
        if (units.isEmpty() && !words.empty() && (s.sliced(word.begin).startsWith("</") || end == s.size())) {
            words.back().end = end;
            words.back().to = visible;
        } else {
            word.end = end;
            word.to = visible;
            classify(word, units);
            words.push_back(word);
        }
        units.clear();
        inWord = false;
    };
    for (qsizetype i = 0; i < s.size();) {
        if (isBlank(s[i])) {
            if (inWord && (!units.isEmpty() || s.sliced(word.begin).startsWith("</")))
                finish(i);
            ++visible;
            ++i;
            continue;
        }
        const Element e = nextElement(s, i);
        if (!inWord) {
            word = Word{};
            word.begin = i;
            word.from = visible;
            inWord = true;
        }
        if (!e.isTag) {
            ++visible;
            units.append(s.sliced(i, e.end - i));
        }
        i = e.end;
    }
    if (inWord)
        finish(s.size());
}

// Where greedy filling of maxLines lines from `first` stops (at most `end`), and how many
// lines it used. First fit is what puts the most words on a given number of lines.
qsizetype Splitter::fill(qsizetype first, qsizetype end, int *lines) const
{
    int used = 1;
    qsizetype lineStart = first;
    qsizetype j = first + 1;
    for (; j < end; ++j) {
        if (fitsLine(lineStart, j + 1))
            continue;
        if (used == maxLines)
            break;
        ++used;
        lineStart = j;
    }
    if (lines)
        *lines = used;
    return j;
}

double square(double x)
{
    return x * x;
}

// Cost of a cut = class penalty + shape. Shape is 2(1 - f)^2 for a cue filled to f of what
// fits, so a sentence end wins down to about a third full, a comma or a conjunction down to
// about half. When the rest fits in one more cue, the two cues are balanced as lines are.
qsizetype Splitter::chooseCut(qsizetype first, qsizetype limit) const
{
    const bool restFits = fill(limit, count()) == count();
    const double full = std::max<double>(width(first, limit), 1);
    qsizetype best = limit;
    double bestCost = std::numeric_limits<double>::infinity();
    for (qsizetype cut = limit; cut > first; --cut) {
        double shape;
        if (restFits) {
            if (fill(cut, count()) != count())
                break;
            const double a = width(first, cut), b = width(cut, count());
            const double mean = std::max((a + b) / 2, 1.0);
            shape = (square(a - mean) + square(b - mean)) / square(mean);
        } else {
            shape = 2 * square(1 - width(first, cut) / full);
        }
        const double cost = classPenalty[breakBefore(cut)] + shape;
        if (cost < bestCost) {
            best = cut;
            bestCost = cost;
        }
    }
    return best;
}

// The cheapest way to put words [first, end) on exactly `lines` lines. A split costs the
// penalties of its breaks plus, per line, (length - mean)^2 / mean^2: a sentence end may
// leave the lines 20/40, a comma about 25/35, before a plain space is taken instead.
std::vector<qsizetype> Splitter::lineStarts(qsizetype first, qsizetype end, int lines) const
{
    const qsizetype n = end - first;
    const double mean = std::max(double(width(first, end)) / lines, 1.0);
    const auto at = [n](qsizetype k, qsizetype j) { return size_t(k * (n + 1) + j); };
    std::vector<double> cost(at(lines, n) + 1, std::numeric_limits<double>::infinity());
    std::vector<qsizetype> start(cost.size(), 0); // where the k-th line of the best k lines for j words starts
    cost[at(0, 0)] = 0;
    for (qsizetype k = 1; k <= lines; ++k) {
        for (qsizetype j = k; j <= n; ++j) {
            for (qsizetype i = j - 1; i >= k - 1 && fitsLine(first + i, first + j); --i) {
                if (cost[at(k - 1, i)] == std::numeric_limits<double>::infinity())
                    continue;
                double c = cost[at(k - 1, i)] + square(width(first + i, first + j) - mean) / square(mean);
                if (i > 0)
                    c += classPenalty[breakBefore(first + i)];
                if (c < cost[at(k, j)]) {
                    cost[at(k, j)] = c;
                    start[at(k, j)] = i;
                }
            }
        }
    }
    std::vector<qsizetype> starts(size_t(lines), first);
    for (qsizetype k = lines, j = n; k > 0; --k) {
        j = start[at(k, j)];
        starts[size_t(k - 1)] = first + j;
    }
    return starts;
}

// Follows a WebVTT reader: an end tag closes only the innermost element, if it matches.
void Splitter::applyTag(QByteArrayView tag)
{
    const QByteArrayView inner = tag.sliced(1, tag.size() - 2);
    if (inner.startsWith('/')) {
        const QByteArrayView name = inner.sliced(1);
        if (!open.isEmpty() && open.last().name == name) {
            open.removeLast();
        } else if (name == "ruby" && open.size() >= 2 && open.last().name == "rt"
                   && open[open.size() - 2].name == "ruby") {
            open.resize(open.size() - 2);
        }
        return;
    }
    qsizetype n = 0;
    while (n < inner.size() && inner[n] != '.' && !isBlank(inner[n]))
        ++n;
    if (isCarried(inner.first(n)))
        open.append({inner.first(n), tag});
}

CueText Splitter::makeCue(qsizetype first, qsizetype end, bool last)
{
    QByteArray text;
    qsizetype carried = std::min(open.size(), maxCarried);
    for (qsizetype k = 0; k < carried; ++k)
        text += open[k].opening;

    int lines = 1;
    fill(first, end, &lines);
    const std::vector<qsizetype> starts = lineStarts(first, end, lines);
    for (size_t k = 0; k < starts.size(); ++k) {
        const qsizetype lineEnd = k + 1 < starts.size() ? starts[k + 1] : end;
        if (k > 0)
            text += '\n';
        const qsizetype begin = words[starts[k]].begin;
        text += s.sliced(begin, words[lineEnd - 1].end - begin);
    }

    for (qsizetype i = words[first].begin; i < words[end - 1].end;) {
        const Element e = nextElement(s, i);
        if (e.isTag)
            applyTag(s.sliced(i, e.end - i));
        i = e.end;
    }
    if (!last) {
        carried = std::min(open.size(), maxCarried);
        for (qsizetype k = carried - 1; k >= 0; --k)
            text += "</" + open[k].name.toByteArray() + '>';
    }
    return {text, visibleLength(text)};
}

} // namespace

qsizetype visibleLength(QByteArrayView text)
{
    qsizetype visible = 0;
    for (qsizetype i = 0; i < text.size();) {
        const Element e = nextElement(text, i);
        visible += e.isTag ? 0 : 1;
        i = e.end;
    }
    return visible;
}

QList<CueText> splitPassage(QByteArrayView text, int maxChars, int maxLines)
{
    const qsizetype visible = visibleLength(text);
    if (visible <= maxChars)
        return {CueText{text.toByteArray(), visible}};
    return Splitter(text, maxChars, maxLines).run();
}
