// Cuts text that comes in pieces cut anywhere into lines: LF, CR LF and a lone CR each end a
// line, and a line cut by a piece's end is carried to the next piece. Blank lines (spaces and
// tabs only) are passed over without a word.
#ifndef CUEFOLD_LINES_H
#define CUEFOLD_LINES_H

#include "text.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

class LineReader
{
public:
    // `dropFrame`: whether "HH:MM:SS;FF" timings count, for the lines it shortens.
    explicit LineReader(bool dropFrame) : m_dropFrame(dropFrame) {}

    // The next piece; `dropped` says its text is dropped anyway (no timing line yet, or a cue
    // that --start drops), so that a long line need not be held whole.
    void setPiece(QByteArrayView piece, bool dropped);
    // The next whole line of the piece; false once the piece is used up.
    bool next(QByteArrayView *line);
    // The line the text ended in without a line end, if any.
    bool finish(QByteArrayView *line);

    qint64 lineNumber() const { return m_ended + 1; } // of the line the next byte belongs to
    qint64 currentLine() const { return m_current; } // of the line last given
    // Whether the line last given lost text when it was shortened.
    bool lostText() const { return m_lostText; }

private:
    bool nextFromCarry(QByteArrayView *line);
    const char *endLine(const char *p);
    void shortenDroppedLine();

    const char *m_next = nullptr;
    const char *m_end = nullptr;
    // Line ends found ahead, each kept until passed, so that a file of CR line ends is not
    // searched again for LF at every line.
    const char *m_lineFeed = nullptr;
    const char *m_return = nullptr;
    QByteArray m_carry; // a line cut by the end of a piece
    qint64 m_ended = 0; // lines ended so far
    qint64 m_current = 0;
    bool m_dropFrame;
    bool m_dropped = false;
    bool m_carryGiven = false; // cleared when the next line is asked for
    bool m_skipLineFeed = false; // the last piece ended in CR
    bool m_carryLostText = false;
    bool m_lostText = false;
};

// Inline: these run for every line.

// Steps over the line end at p: LF, CR LF, or a lone CR.
inline const char *LineReader::endLine(const char *p)
{
    ++m_ended;
    if (*p++ == '\r') {
        if (p == m_end)
            m_skipLineFeed = true;
        else if (*p == '\n')
            ++p;
    }
    return p;
}

inline bool LineReader::next(QByteArrayView *line)
{
    if (m_carryGiven) {
        m_carry.clear();
        m_carryGiven = false;
    }
    const char *p = m_next;
    if (!m_carry.isEmpty() && p < m_end) {
        if (nextFromCarry(line))
            return true;
        if (m_next == m_end)
            return false;
        p = m_next;
    }
    m_lostText = false;
    // Locals, so that the loop keeps them in registers.
    const char *const end = m_end;
    const char *lineFeed = m_lineFeed;
    const char *cr = m_return;
    while (p < end) {
        // A line that starts with white space is often blank: told here, without a call.
        if (isPatternSpace(*p)) {
            const char *q = p;
            while (q < end && isBlank(*q))
                ++q;
            if (q < end && (*q == '\n' || *q == '\r')) {
                p = endLine(q);
                continue;
            }
        }
        if (lineFeed < p)
            lineFeed = findByte(p, end, '\n');
        if (cr < p)
            cr = findByte(p, end, '\r');
        const char *lineEnd = qMin(lineFeed, cr);
        if (lineEnd == end) {
            m_carry.append(p, end - p);
            break;
        }
        m_current = m_ended + 1;
        *line = QByteArrayView(p, lineEnd - p);
        m_next = endLine(lineEnd);
        m_lineFeed = lineFeed;
        m_return = cr;
        return true;
    }
    m_next = end;
    return false;
}

#endif
