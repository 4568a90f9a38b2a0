// A passage's words, one at a time.
#include "words.h"

#include "markup.h"
#include "speech.h"
#include "text.h"

#include <array>
#include <cstring>

#include <QtEndian>

namespace {

// How many units a long word keeps from its start and from its end: enough for its quotes,
// brackets, dash or ellipsis and end mark; a word of up to 28 units is kept whole, which is
// more than any listed word needs.
constexpr qsizetype keptHead = 4;
constexpr qsizetype keptTail = 12;

// What a byte of a passage is to the word reader.
enum ByteClass : quint8 {
    Other = 0,
    Space = 1, // a blank or a line end: between words
    LineEnd = 2,
    Plain = 4, // ASCII that starts no tag or entity
    Wide = 8, // of a character beyond ASCII
};

constexpr auto byteClasses = [] {
    std::array<quint8, 256> table{};
    for (int c = 0; c < 0x100; ++c)
        table[size_t(c)] = c >= 0x80   ? Wide
                : isBlank(char(c))     ? Space
                : c == '\n'            ? Space | LineEnd
                : c == '<' || c == '&' ? Other
                                       : Plain;
    return table;
}();

quint8 classOf(char c)
{
    return byteClasses[uchar(c)];
}

// The first byte from `pos` that is no blank or line end; `between` gathers their classes.
Q_ALWAYS_INLINE qsizetype skipSpaces(const char *data, qsizetype pos, qsizetype size,
                                     quint8 *between)
{
    for (quint8 c; pos < size && ((c = classOf(data[pos])) & Space); ++pos)
        *between |= c;
    return pos;
}

constexpr quint64 eachByte = 0x0101010101010101u;
constexpr quint64 highBits = eachByte * 0x80;

// The end of the run of characters from `pos` with no blank, line end, tag or entity in it,
// and whether any of them is beyond ASCII: eight bytes at a time while eight remain, each
// eight tested at once for a byte below '\'' or a '<' (the lowest such byte is told exactly).
Q_ALWAYS_INLINE qsizetype runEnd(const char *data, qsizetype pos, qsizetype size, bool *wide)
{
    quint64 seen = 0;
    while (size - pos >= 8) {
        const quint64 x = qFromLittleEndian<quint64>(data + pos);
        const quint64 tag = x ^ (eachByte * '<');
        const quint64 stops = ((x - eachByte * '\'') & ~x & highBits)
                | ((tag - eachByte) & ~tag & highBits);
        if (!stops) {
            seen |= x;
            pos += 8;
            continue;
        }
        const int at = qCountTrailingZeroBits(stops) / 8;
        seen |= x & ((quint64(1) << (8 * at)) - 1);
        pos += at;
        if (!(classOf(data[pos]) & Plain)) {
            *wide = seen & highBits;
            return pos;
        }
        ++pos; // ASCII such as '!' that the test takes for a stop
    }
    quint8 classes = 0;
    for (quint8 c; pos < size && ((c = classOf(data[pos])) & (Plain | Wide)); ++pos)
        classes |= c;
    *wide = (seen & highBits) || (classes & Wide);
    return pos;
}

} // namespace

// Most words are a run of characters up to a blank or a line end, with no tag or entity,
// and short: what the general path makes of such a run (the word it starts, which in a
// script without spaces may end inside it, that word's visible units, its classes and its
// speaking time) depends on its bytes alone, so it is remembered by them. A run of ASCII
// needs no pieces and holds no break: it is classed as the general path would class it.
Q_ALWAYS_INLINE bool WordReader::scanRun(Word *word, qsizetype end, bool wide, bool *bare)
{
    const QByteArrayView run = m_passage.sliced(m_pos, end - m_pos);
    const auto read = [&] { // as if nothing were remembered
        if (wide)
            return scanMarked(word, bare);
        word->end = end;
        m_visible += run.size();
        word->to = m_visible;
        m_pos = end;
        classify(run, word);
        return true;
    };
    if (run.size() > qsizetype(sizeof(KnownWord::bytes)))
        return read();
    const RunKey key(run.data(), run.size(), m_passage.data() + m_passage.size());
    KnownWord &known = m_known[key.slot];
    if (!isKnown(key)) {
        read();
        m_knownSize[key.slot] = quint8(run.size());
        known = {{key.bytes[0], key.bytes[1]}, word->traits, word->spokenTo,
                 quint8(word->end - word->begin), quint8(word->to - word->from)};
        return true;
    }
    word->end = m_pos += known.size;
    word->to = m_visible += known.visible;
    word->traits = known.traits;
    word->spokenTo = known.spoken;
    return true;
}

Q_ALWAYS_INLINE WordReader::RunKey::RunKey(const char *run, qsizetype runSize, const char *end)
    : size(quint64(runSize))
{
    // Its bytes in order, zero after its end: loaded whole where the passage goes on.
    if (end - run >= qsizetype(sizeof(bytes))) {
        const auto first = [](qsizetype n) { // bytes, 0 to 8
            return ~quint64(0) >> (4 * (8 - n)) >> (4 * (8 - n));
        };
        bytes[0] = qFromLittleEndian<quint64>(run) & first(std::min<qsizetype>(runSize, 8));
        bytes[1] = qFromLittleEndian<quint64>(run + 8) & first(std::max<qsizetype>(runSize - 8, 0));
    } else {
        uchar copy[sizeof(bytes)] = {};
        std::memcpy(copy, run, size_t(runSize));
        bytes[0] = qFromLittleEndian<quint64>(copy);
        bytes[1] = qFromLittleEndian<quint64>(copy + 8);
    }
    // Multiplicative hashing: the top bits mix all of the run's bytes.
    slot = ((bytes[0] * 0x9E3779B97F4A7C15u) ^ (bytes[1] * 0xC2B2AE3D27D4EB4Fu) ^ size)
            >> (64 - knownBits);
}

Q_ALWAYS_INLINE bool WordReader::isKnown(const RunKey &key) const
{
    const KnownWord &known = m_known[key.slot];
    return m_knownSize[key.slot] == key.size && known.bytes[0] == key.bytes[0]
            && known.bytes[1] == key.bytes[1];
}

// A long run is classed by the characters the general path keeps of it: its first few, and
// as many of its last as that path holds when the run ends.
Q_NEVER_INLINE void WordReader::classify(QByteArrayView run, Word *word)
{
    SyllableCounter syllables;
    for (qsizetype i = 0; i < run.size(); ++i)
        syllables.add(run.sliced(i, 1));
    constexpr qsizetype most = keptHead + 2 * keptTail;
    const qsizetype kept = run.size() <= most
            ? run.size()
            : keptHead + keptTail + 1 + (run.size() - most - 1) % keptTail;
    const QByteArrayView head = run.first(kept == run.size() ? kept : keptHead);
    word->traits = wordTraits(head, run.last(kept - head.size()));
    word->spokenTo = syllables.units();
}

// The next run of text up to a blank, a line end or, in a script written without spaces, a
// place a line may break, with the tags that open before it; `bare` when it shows nothing.
Q_ALWAYS_INLINE bool WordReader::scan(Word *word, bool *bare)
{
    const char *const data = m_passage.data();
    const qsizetype size = m_passage.size();
    quint8 between = 0;
    const qsizetype pos = skipSpaces(data, m_pos, size, &between);
    m_visible += pos - m_pos;
    m_pos = pos;
    if (pos == size)
        return false;
    const bool newLine = between & LineEnd;
    word->begin = m_pos;
    word->from = m_visible;
    word->before = newLine ? Break::Forced : Break::Sentence; // for next() to read
    bool wide;
    const qsizetype end = runEnd(data, m_pos, size, &wide);
    *bare = false;
    if (end == size || (classOf(data[end]) & Space))
        return scanRun(word, end, wide, bare);
    return scanMarked(word, bare);
}

// A word with tags, entities or characters beyond ASCII, read piece by piece from its start.
Q_NEVER_INLINE bool WordReader::scanMarked(Word *word, bool *bare)
{
    m_units.clear();
    SyllableCounter syllables;
    qsizetype cut = m_pos; // where a word without spaces would end: its last unit, end tags
    const auto finish = [&](qsizetype end) {
        word->end = end;
        word->to = m_visible;
        *bare = m_units.isEmpty();
        word->spokenTo = *bare ? 0 : syllables.units(); // its own, until next() places it
        word->traits = wordTraits(m_units.constData(), m_units.size());
        return true;
    };
    while (m_pos < m_passage.size()) {
        if (isBlank(m_passage[m_pos]) || m_passage[m_pos] == '\n') {
            if (!m_units.isEmpty() || m_passage.sliced(word->begin).startsWith("</"))
                return finish(m_pos);
            ++m_visible; // tags alone so far: they go with the text after the blank
            ++m_pos;
            continue;
        }
        // Most units are one ASCII character that starts no tag or entity.
        const char c = m_passage[m_pos];
        const Element e = uchar(c) < 0x80 && c != '<' && c != '&'
                ? Element{m_pos + 1, false}
                : nextElement(m_passage, m_pos);
        const QByteArrayView piece = m_passage.sliced(m_pos, e.end - m_pos);
        if (e.isTag) {
            if (cut == m_pos && piece.startsWith("</"))
                cut = e.end;
        } else if (!m_units.isEmpty() && (piece.size() != 1 || m_units.last().size() != 1)
                   && mayBreakBetween(m_units.last(), piece)) {
            m_pos = cut; // the tags that open here go with the next word
            return finish(cut);
        } else {
            cut = e.end;
            ++m_visible;
            if (m_units.size() == keptHead + 2 * keptTail)
                m_units.erase(m_units.begin() + keptHead, m_units.end() - keptTail);
            m_units.append(piece);
            syllables.add(m_units.last());
        }
        m_pos = e.end;
    }
    return finish(m_passage.size());
}

bool WordReader::next(Word *word)
{
    bool bare = false;
    if (m_hasPending) {
        *word = m_pending;
        m_hasPending = false;
    } else if (!scan(word, &bare)) {
        return false;
    }
    // End tags that open the passage, showing nothing, go with its first word: alone they
    // would make a cue with nothing to see.
    for (Word scanned; m_first && bare && word->end < m_passage.size() && scan(&scanned, &bare);) {
        scanned.begin = word->begin;
        scanned.from = word->from;
        *word = scanned;
    }
    // So do end tags alone after a word, and tags that end the passage: only a tag can.
    quint8 between = 0;
    const qsizetype ahead = skipSpaces(m_passage.data(), m_pos, m_passage.size(), &between);
    if (ahead < m_passage.size() && m_passage[ahead] == '<') {
        Word scanned;
        while ((m_hasPending = scan(&scanned, &bare)) && bare
               && (m_passage.sliced(scanned.begin).startsWith("</")
                   || scanned.end == m_passage.size())) {
            word->end = scanned.end;
            word->to = scanned.to;
            m_newLine = m_newLine || scanned.before == Break::Forced;
        }
        if (m_hasPending)
            m_pending = scanned;
    }
    // A kept line of the transcript ends a line of the cue, whatever the words are.
    const bool newLine = m_newLine || word->before == Break::Forced;
    m_newLine = false;
    word->spokenFrom = m_spoken;
    follow(&word->before, word->traits, newLine, word->spokenTo);
    word->spokenTo = m_spoken;
    return true;
}

// Takes a word after the last: the break before it and the pause that break makes, which
// goes with the words after it, since a cue shows from the end of the speech before it.
Q_ALWAYS_INLINE void WordReader::follow(Break *before, const WordTraits &traits, bool newLine,
                                        qint64 spoken)
{
    if (!m_first) {
        *before = newLine ? Break::Forced : breakBetween(m_last, m_lastOpens, traits);
        m_spoken += pauseUnits(*before);
    }
    m_spoken += spoken;
    m_first = false;
    m_last = traits;
    m_lastOpens = endsSentence(*before);
}

qint64 WordReader::speakingTime()
{
    const char *const data = m_passage.data();
    const qsizetype size = m_passage.size();
    for (Word word; next(&word);) {
        if (m_hasPending)
            continue;
        // The plain words that follow, remembered whole and with no tag after them, are
        // taken as next() would take them, without making them.
        quint8 between = 0;
        for (qsizetype pos = skipSpaces(data, m_pos, size, &between);;) {
            bool wide;
            const qsizetype end = runEnd(data, pos, size, &wide);
            if (end == pos || end - pos > qsizetype(sizeof(KnownWord::bytes))
                || (end < size && !(classOf(data[end]) & Space)))
                break;
            quint8 after = 0;
            const qsizetype ahead = skipSpaces(data, end, size, &after);
            const RunKey key(data + pos, end - pos, data + size);
            const KnownWord &known = m_known[key.slot];
            if ((ahead < size && data[ahead] == '<') || !isKnown(key) || known.size != key.size)
                break;
            m_visible += pos - m_pos + known.visible;
            m_pos = end;
            Break before = Break::Plain; // for the compiler: never the first word
            follow(&before, known.traits, between & LineEnd, known.spoken);
            pos = ahead;
            between = after;
        }
    }
    return m_spoken;
}
