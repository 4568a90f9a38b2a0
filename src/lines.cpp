// Cutting text into lines.
#include "lines.h"

#include "text.h"
#include "timing.h"

#include <QtAlgorithms>

namespace {

// A line whose text is dropped anyway is shortened once it grows past this, so that a huge
// file with no line end runs in constant memory.
constexpr qsizetype droppedLineLimit = 1 << 16;

} // namespace

void LineReader::setPiece(QByteArrayView piece, bool dropped)
{
    m_next = piece.data();
    m_end = m_next + piece.size();
    m_lineFeed = m_return = m_next - 1;
    m_dropped = dropped;
    if (m_skipLineFeed && m_next < m_end) {
        m_skipLineFeed = false;
        if (*m_next == '\n')
            ++m_next;
    }
}

// The line cut by the end of the last piece, once the piece ends it; false when it does not.
bool LineReader::nextFromCarry(QByteArrayView *line)
{
    const char *lineEnd = qMin(findByte(m_next, m_end, '\n'), findByte(m_next, m_end, '\r'));
    m_carry.append(m_next, lineEnd - m_next);
    m_next = m_end;
    if (lineEnd == m_end) {
        if (m_carry.size() > droppedLineLimit && m_dropped)
            shortenDroppedLine();
        return false;
    }
    m_current = m_ended + 1;
    m_lostText = m_carryLostText;
    m_carryLostText = false;
    *line = m_carry;
    m_carryGiven = true;
    m_next = endLine(lineEnd);
    return true;
}

bool LineReader::finish(QByteArrayView *line)
{
    if (m_carryGiven || m_carry.isEmpty())
        return false;
    m_current = m_ended + 1;
    m_lostText = m_carryLostText;
    *line = m_carry;
    return true;
}

// A line whose text is dropped anyway need keep only the timing it holds, or the end that could
// still start one: a timecode, white space, a hyphen, white space, part of a timecode. White
// space runs there shrink to one space, which the pattern cannot tell apart.
void LineReader::shortenDroppedLine()
{
    const bool dropFrame = m_dropFrame;
    const TimingMatch timing = findTiming(m_carry, dropFrame);
    if (timing.found()) {
        m_carry = m_carry.sliced(timing.start, timing.length);
        return;
    }
    const char *const text = m_carry.constData();
    qsizetype from = qMax(qsizetype(0), m_carry.size() - shortestTiming);
    const auto skipSpaces = [&] {
        while (from > 0 && isPatternSpace(text[from - 1]))
            --from;
    };
    skipSpaces();
    if (from > 0 && text[from - 1] == '-') {
        --from;
        skipSpaces();
    }
    from = qMax(qsizetype(0), from - timecodeLength);
    for (qsizetype i = 0; i < from && !m_carryLostText; ++i)
        m_carryLostText = !isPatternSpace(text[i]);
    m_carry.remove(0, from);

    char *out = m_carry.data();
    for (const char c : std::as_const(m_carry)) {
        if (isPatternSpace(c) && out > m_carry.data() && out[-1] == ' ')
            continue;
        m_carryLostText = m_carryLostText || !isPatternSpace(c);
        *out++ = isPatternSpace(c) ? ' ' : c;
    }
    m_carry.truncate(out - m_carry.data());
    from = 0;
    while (from < m_carry.size()
           && !couldStartTiming(QByteArrayView(m_carry).sliced(from), dropFrame))
        ++from;
    m_carry.remove(0, from);
}
