// SRT, the format most platforms and editors take: blocks of a number counted from 1, a timing
// "HH:MM:SS,mmm --> HH:MM:SS,mmm" and the text lines, a blank line between blocks. It has no
// header, no voices and no entities; of markup, readers know <i>, <b> and <u>. Written in UTF-8
// with LF line ends, which the readers here take.
#include "cuetext.h"
#include "formats.h"
#include "text.h"

#include <QList>

namespace {

class SrtSink final : public TimedCueSink
{
public:
    explicit SrtSink(DocumentWriter &writer) : m_writer(writer) {}

    void startCue(const TimedCue &cue) override
    {
        m_cue = cue;
        m_open.clear();
        m_cueOpen = false;
        m_lineOpen = false;
        for (qsizetype i = 0; i < cue.turnCount; ++i)
            forEachLine(cue.turns[i].text, [this](QByteArrayView line, bool) {
                writeLine(line, false);
            });
    }
    void continueLine(QByteArrayView text) override { writeLine(text, true); }
    void endCue() override
    {
        if (!m_cueOpen)
            return;
        for (qsizetype i = m_open.size() - 1; i >= 0; --i)
            m_writer.write(tagText(m_open[i], true));
        m_open.clear();
        m_writer.write("\n");
    }

private:
    // A line that shows nothing would end the block early: it is left out.
    void writeLine(QByteArrayView markup, bool continues)
    {
        m_line.clear();
        const QList<char> open = m_open;
        MarkupReader reader(markup);
        MarkupPiece piece;
        bool shows = false;
        while (reader.next(&piece)) {
            if (piece.kind == MarkupPiece::Text) {
                m_line += piece.text;
                shows = shows || !trimmed(piece.text.begin(), piece.text.end()).isEmpty();
            } else if (piece.text == "i" || piece.text == "b" || piece.text == "u") {
                takeTag(piece);
            }
        }
        if (!shows) {
            m_open = open;
            return;
        }
        if (!m_cueOpen)
            openCue();
        if (m_lineOpen)
            m_writer.write(continues ? " " : "\n");
        m_writer.write(m_line);
        m_lineOpen = true;
    }
    void takeTag(const MarkupPiece &tag)
    {
        const char name = tag.text[0];
        if (tag.kind == MarkupPiece::StartTag) {
            m_open.append(name);
        } else if (!m_open.isEmpty() && m_open.last() == name) {
            m_open.removeLast();
        } else {
            return;
        }
        m_line += tagText(name, tag.kind == MarkupPiece::EndTag);
    }
    static QByteArray tagText(char name, bool end)
    {
        return (end ? QByteArray("</") : QByteArray("<")) + name + '>';
    }
    void openCue()
    {
        if (m_number > 0)
            m_writer.write("\n");
        m_writer.write(QByteArray::number(++m_number));
        m_writer.write("\n");
        char timing[64];
        char *out = writeTime(timing, m_cue.start.milliseconds);
        out = std::copy_n(" --> ", 5, out);
        out = writeTime(out, m_cue.end.milliseconds);
        *out++ = '\n';
        m_writer.write(QByteArrayView(timing, out - timing));
        m_cueOpen = true;
    }
    static char *writeTime(char *out, qint64 milliseconds)
    {
        char *end = writeTimestamp(out, milliseconds);
        end[-4] = ',';
        return end;
    }

    DocumentWriter &m_writer;
    TimedCue m_cue;
    QByteArray m_line;
    QList<char> m_open; // <i>, <b> and <u> open in the cue, innermost last
    qint64 m_number = 0;
    bool m_cueOpen = false; // its number and timing are written
    bool m_lineOpen = false;
};

// A number alone on the first line that shows anything, then a timing.
bool isSrt(QByteArrayView head)
{
    if (head.startsWith(utf8Mark))
        head = head.sliced(utf8Mark.size());
    head = head.trimmed();
    const qsizetype lineEnd = head.indexOf('\n');
    if (lineEnd <= 0)
        return false;
    const QByteArrayView number = head.first(lineEnd).trimmed();
    const QByteArrayView next = head.sliced(lineEnd + 1);
    return !number.isEmpty() && std::all_of(number.begin(), number.end(), isAsciiDigit)
            && next.first(std::max<qsizetype>(next.indexOf('\n'), 0)).contains("-->");
}

std::unique_ptr<TimedCueSink> makeSink(DocumentWriter &writer, const FormatSettings &)
{
    return std::make_unique<SrtSink>(writer);
}

} // namespace

extern const Format srtFormat{u"srt", u".srt", u"an SRT document", isSrt, makeSink};
