// Splitting a passage into readable cues, and sharing its time among them.
#include "splitting.h"

#include "markup.h"
#include "text.h"

#include <QVarLengthArray>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

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

// Words that open a clause: a break before one reads better than at any space.
constexpr const char *conjunctions[] = {"and", "but", "or", "so", "because", "that", "which",
                                        "who", "when", "while", "if", "then"};
constexpr qsizetype longestConjunction = 7; // "because": longer words need no look-up

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
    if (letters == 0 || letters > longestConjunction)
        return;
    QByteArray bare;
    for (qsizetype k = 0; k < letters; ++k)
        bare += units[k];
    bare = std::move(bare).toLower();
    for (const char *conjunction : conjunctions) {
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
        : m_passage(text), maxChars(std::max(maxChars, 1)), maxLines(std::max(maxLines, 1))
    {
    }

    QList<Cue> run()
    {
        tokenize();
        QList<Cue> cues;
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
    qsizetype width(qsizetype first, qsizetype end) const
    {
        return words[end - 1].to - words[first].from;
    }
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
    Cue makeCue(qsizetype first, qsizetype end, bool last);

    QByteArrayView m_passage;
    int maxChars;
    int maxLines;
    std::vector<Word> words;
    QList<OpenTag> m_open; // tags open at the end of the last cue made
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
        if (units.isEmpty() && !words.empty()
            && (m_passage.sliced(word.begin).startsWith("</") || end == m_passage.size())) {
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
    for (qsizetype i = 0; i < m_passage.size();) {
        if (isBlank(m_passage[i])) {
            if (inWord && (!units.isEmpty() || m_passage.sliced(word.begin).startsWith("</")))
                finish(i);
            ++visible;
            ++i;
            continue;
        }
        const Element e = nextElement(m_passage, i);
        if (!inWord) {
            word = Word{};
            word.begin = i;
            word.from = visible;
            inWord = true;
        }
        if (!e.isTag) {
            ++visible;
            units.append(m_passage.sliced(i, e.end - i));
        }
        i = e.end;
    }
    if (inWord)
        finish(m_passage.size());
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
    // The cell of the best k lines for the first j words.
    const auto cell = [n](qsizetype k, qsizetype j) { return size_t(k * (n + 1) + j); };
    std::vector<double> cost(cell(lines, n) + 1, std::numeric_limits<double>::infinity());
    std::vector<qsizetype> start(cost.size(), 0); // where the cell's last line starts
    cost[cell(0, 0)] = 0;
    for (qsizetype k = 1; k <= lines; ++k) {
        for (qsizetype j = k; j <= n; ++j) {
            for (qsizetype i = j - 1; i >= k - 1 && fitsLine(first + i, first + j); --i) {
                if (cost[cell(k - 1, i)] == std::numeric_limits<double>::infinity())
                    continue;
                double c = cost[cell(k - 1, i)]
                        + square(width(first + i, first + j) - mean) / square(mean);
                if (i > 0)
                    c += classPenalty[breakBefore(first + i)];
                if (c < cost[cell(k, j)]) {
                    cost[cell(k, j)] = c;
                    start[cell(k, j)] = i;
                }
            }
        }
    }
    std::vector<qsizetype> starts(size_t(lines), first);
    for (qsizetype k = lines, j = n; k > 0; --k) {
        j = start[cell(k, j)];
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
        if (!m_open.isEmpty() && m_open.last().name == name) {
            m_open.removeLast();
        } else if (name == "ruby" && m_open.size() >= 2 && m_open.last().name == "rt"
                   && m_open[m_open.size() - 2].name == "ruby") {
            m_open.resize(m_open.size() - 2);
        }
        return;
    }
    qsizetype n = 0;
    while (n < inner.size() && inner[n] != '.' && !isBlank(inner[n]))
        ++n;
    if (isCarried(inner.first(n)))
        m_open.append({inner.first(n), tag});
}

Cue Splitter::makeCue(qsizetype first, qsizetype end, bool last)
{
    QByteArray text;
    qsizetype carried = std::min(m_open.size(), maxCarried);
    for (qsizetype k = 0; k < carried; ++k)
        text += m_open[k].opening;

    int lines = 1;
    fill(first, end, &lines);
    const std::vector<qsizetype> starts = lineStarts(first, end, lines);
    for (size_t k = 0; k < starts.size(); ++k) {
        const qsizetype lineEnd = k + 1 < starts.size() ? starts[k + 1] : end;
        if (k > 0)
            text += '\n';
        const qsizetype begin = words[starts[k]].begin;
        text += m_passage.sliced(begin, words[lineEnd - 1].end - begin);
    }

    for (qsizetype i = words[first].begin; i < words[end - 1].end;) {
        const Element e = nextElement(m_passage, i);
        if (e.isTag)
            applyTag(m_passage.sliced(i, e.end - i));
        i = e.end;
    }
    if (!last) {
        carried = std::min(m_open.size(), maxCarried);
        for (qsizetype k = carried - 1; k >= 0; --k)
            text += "</" + m_open[k].name.toByteArray() + '>';
    }
    return {text, visibleLength(text)};
}

// The passage's time is shared in proportion to what each cue shows, tiling it exactly.
// A passage that ends at or before its start gives every cue its own timing.
void shareTime(QList<Cue> &cues, qint64 start, qint64 end)
{
    qsizetype total = 0;
    for (const Cue &cue : cues)
        total += cue.visible;
    const qint64 duration = end - start;
    qsizetype shown = 0;
    qint64 from = start;
    for (Cue &cue : cues) {
        shown += cue.visible;
        const qint64 to = duration <= 0 || total == 0 || shown == total
                ? end
                : start + (2 * duration * shown + total) / (2 * total);
        cue.start = duration <= 0 ? start : from;
        cue.end = to;
        from = to;
    }
}

} // namespace

QList<Cue> splitPassage(QByteArrayView text, qint64 start, qint64 end, const SplitLimits &limits)
{
    const qsizetype visible = visibleLength(text);
    QList<Cue> cues = visible <= limits.maxChars
            ? QList<Cue>{Cue{text.toByteArray(), visible, start, end}}
            : Splitter(text, limits.maxChars, limits.maxLines).run();
    shareTime(cues, start, end);
    return cues;
}
