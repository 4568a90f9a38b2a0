// A cue's words in lines, and its text.
#include "layout.h"

#include "markup.h"
#include "readability.h"
#include "text.h"

#include <algorithm>
#include <limits>

namespace {

// Deeper nesting is not carried into the next cue: captions never nest that far, and every
// cue of the passage would repeat it.
constexpr qsizetype maxCarried = 16;

bool isCarried(QByteArrayView name)
{
    return name == "c" || name == "i" || name == "b" || name == "u" || name == "ruby"
            || name == "rt" || name == "v" || name == "lang";
}

qsizetype width(WordSpan span, qsizetype first, qsizetype end)
{
    return span.words[end - 1].to - span.words[first].from;
}

// First fit: the fewest lines, each as full as it can be.
std::vector<qsizetype> filled(WordSpan span, int maxChars)
{
    std::vector<qsizetype> starts{0};
    for (qsizetype j = 1; j < span.count; ++j) {
        if (span.words[j].before == Break::Forced || width(span, starts.back(), j + 1) > maxChars)
            starts.push_back(j);
    }
    return starts;
}

} // namespace

// The cheapest way to put the words on as many lines as first fit needs. A split costs the
// penalties of its breaks plus, per line, (length - mean)^2 / mean^2.
std::vector<qsizetype> lineStarts(WordSpan span, int maxChars, int maxLines, double *price)
{
    std::vector<qsizetype> starts = filled(span, maxChars);
    const auto lines = qsizetype(starts.size());
    if (price)
        *price = 0;
    if (lines == 1 || lines > maxLines)
        return starts;
    const qsizetype n = span.count;
    const double mean = std::max(double(width(span, 0, n)) / double(lines), 1.0);
    // The cell of the best k lines for the first j words.
    const auto cell = [n](qsizetype k, qsizetype j) { return size_t(k * (n + 1) + j); };
    constexpr double none = std::numeric_limits<double>::infinity();
    // Most cues have few words, whose cells need no allocation.
    QVarLengthArray<double, 256> cost(qsizetype(cell(lines, n) + 1));
    std::fill(cost.begin(), cost.end(), none);
    QVarLengthArray<qsizetype, 256> start(cost.size()); // where the cell's last line starts
    std::fill(start.begin(), start.end(), 0);
    // The first line starts with the cue: only its end varies, and its words and sentences
    // are counted on from the line before.
    qsizetype firstSentences = 0;
    for (qsizetype j = 1; j <= n - (lines - 1); ++j) {
        if (j > 1 && (span.words[j - 1].before == Break::Forced || width(span, 0, j) > maxChars))
            break; // and so would every longer first line
        if (j > 1 && endsSentence(span.words[j - 1].before))
            ++firstSentences;
        cost[cell(1, j)] = square(width(span, 0, j) - mean) / square(mean)
                + (j < n && strands(span.words, 0, j, span.words[j].before) ? strandPenalty : 0.0)
                + sentenceInLinePenalty * double(firstSentences);
    }
    for (qsizetype k = 2; k <= lines; ++k) {
        // Only the last line ends with the cue, and every line holds a word.
        for (qsizetype j = k == lines ? n : k; j <= n - (lines - k); ++j) {
            qsizetype sentences = 0; // inside the line from i to j
            for (qsizetype i = j - 1; i >= k - 1; --i) {
                if (i + 1 < j && span.words[i + 1].before == Break::Forced)
                    break; // a line holds no turn of dialogue but its first
                if (i + 1 < j && endsSentence(span.words[i + 1].before))
                    ++sentences;
                if (i + 1 < j && width(span, i, j) > maxChars)
                    break;
                if (cost[cell(k - 1, i)] == none)
                    continue;
                double c = cost[cell(k - 1, i)] + square(width(span, i, j) - mean) / square(mean);
                if (i > 0)
                    c += breakPenalty(span.words[i].before);
                if (j < n && strands(span.words, i, j, span.words[j].before))
                    c += strandPenalty; // the cue's own ends are the splitter's to weigh
                c += sentenceInLinePenalty * double(sentences);
                if (c < cost[cell(k, j)]) {
                    cost[cell(k, j)] = c;
                    start[cell(k, j)] = i;
                }
            }
        }
    }
    if (price)
        *price = cost[cell(lines, n)];
    for (qsizetype k = lines, j = n; k > 0; --k) {
        j = start[cell(k, j)];
        starts[size_t(k - 1)] = j;
    }
    return starts;
}

// Follows a WebVTT reader: an end tag closes only the innermost element, if it matches.
void CueWriter::applyTag(QByteArrayView tag)
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
    while (n < inner.size() && isAsciiAlnum(inner[n]))
        ++n;
    const QByteArrayView name = inner.first(n);
    if (!isCarried(name))
        return;
    // Opened again by name and classes: only a voice's or a language's annotation means
    // anything to a reader.
    qsizetype kept = n;
    while (kept < inner.size() && !isBlank(inner[kept]))
        ++kept;
    if (name == "v" || name == "lang")
        kept = inner.size();
    m_open.append({name, '<' + inner.first(kept).toByteArray() + '>'});
}

CueView CueWriter::make(const Lines &lines, bool last)
{
    qsizetype carried = std::min(m_open.size(), maxCarried);
    qsizetype size = lines.size() - 1;
    for (qsizetype k = 0; k < carried; ++k)
        size += m_open[k].opening.size();
    for (const Range &line : lines)
        size += line.end - line.begin;
    // The text is made where the last cue's was, which its reader has let go of by now.
    m_text.resize(size);
    char *out = m_text.data();
    const auto put = [&out](QByteArrayView bytes) {
        out = std::copy_n(bytes.data(), bytes.size(), out);
    };
    for (qsizetype k = 0; k < carried; ++k)
        put(m_open[k].opening);
    for (const Range &line : lines) {
        if (&line != &lines.front())
            *out++ = '\n';
        put(m_passage.sliced(line.begin, line.end - line.begin));
    }
    // No tag holds a '<' but its first, and no entity holds one at all.
    const QByteArrayView upToEnd = m_passage.first(lines.back().end);
    const char *const end = upToEnd.data() + upToEnd.size();
    for (const char *tag = findByte(upToEnd.data() + lines.front().begin, end, '<'); tag < end;) {
        const qsizetype i = tag - m_passage.data();
        const Element e = nextElement(m_passage, i);
        if (e.isTag)
            applyTag(m_passage.sliced(i, e.end - i));
        tag = e.end < upToEnd.size() ? findByte(m_passage.data() + e.end, end, '<') : end;
    }
    if (!last) {
        carried = std::min(m_open.size(), maxCarried);
        for (qsizetype k = carried - 1; k >= 0; --k)
            m_text += "</" + m_open[k].name.toByteArray() + '>';
    }
    return {m_text};
}
