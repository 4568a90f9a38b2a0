// TTML in the IMSC 1.1 Text Profile, the timed-text format of streaming services and
// broadcasters: a <p> for each cue, <br/> between its lines, italics, bold and underline as
// styled spans, and speakers as agents. Times are media times exact to the frame: a frame count
// ("107892f") at the transcript's rate, or, for a cut that splitting made between two frames,
// the time itself to the millisecond.
#include "cuetext.h"
#include "formats.h"
#include "text.h"

#include <QHash>
#include <QList>

namespace {

// Text as XML wants it: the markup characters escaped, and the characters XML 1.0 does not
// allow (most ASCII controls) left out.
void appendEscaped(QByteArray &out, QByteArrayView text)
{
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else if (uchar(c) >= 0x20 || c == '\t')
            out += c;
    }
}

// The style each kept tag becomes.
QByteArrayView spanStyle(QByteArrayView tag)
{
    if (tag == "i")
        return "tts:fontStyle=\"italic\"";
    if (tag == "b")
        return "tts:fontWeight=\"bold\"";
    if (tag == "u")
        return "tts:textDecoration=\"underline\"";
    return {};
}

class TtmlSink final : public TimedCueSink
{
public:
    TtmlSink(DocumentWriter &writer, const FormatSettings &settings) : m_writer(writer)
    {
        const FrameRate &rate = settings.rate;
        QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<tt xmlns=\"http://www.w3.org/ns/ttml\""
                          " xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\""
                          " xmlns:tts=\"http://www.w3.org/ns/ttml#styling\""
                          " xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\"\n"
                          "    ttp:contentProfiles="
                          "\"http://www.w3.org/ns/ttml/profile/imsc1.1/text\"\n"
                          "    ttp:timeBase=\"media\" ttp:frameRate=\"";
        head += QByteArray::number(rate.nominal) + '"';
        if (rate.denominator != 1) // the NTSC rates: 1000/1001 of the nominal
            head += " ttp:frameRateMultiplier=\"1000 1001\"";
        head += " xml:lang=\"";
        appendEscaped(head, settings.language);
        head += "\">\n<body>\n<div>\n";
        m_writer.write(head);
    }

    void startCue(const TimedCue &cue) override
    {
        m_text = "<p begin=\"";
        appendTime(cue.start);
        m_text += "\" end=\"";
        appendTime(cue.end);
        m_text += '"';
        const bool oneVoice = cue.turnCount == 1;
        if (oneVoice)
            appendAgent(cue.turns[0].voice);
        m_text += '>';
        for (qsizetype i = 0; i < cue.turnCount; ++i)
            appendAgentDefinition(cue.turns[i].voice);
        for (qsizetype i = 0; i < cue.turnCount; ++i) {
            if (i > 0)
                m_text += "<br/>";
            const bool span = !oneVoice && !cue.turns[i].voice.isEmpty();
            if (span) {
                m_text += "<span";
                appendAgent(cue.turns[i].voice);
                m_text += '>';
            }
            appendMarkup(cue.turns[i].text);
            if (span) {
                closeSpans();
                m_text += "</span>";
            }
        }
        m_writer.write(m_text);
    }
    void continueLine(QByteArrayView text) override
    {
        m_text = " ";
        appendMarkup(text);
        m_writer.write(m_text);
    }
    void endCue() override
    {
        m_text.clear();
        closeSpans();
        m_text += "</p>\n";
        m_writer.write(m_text);
    }
    void finish() override { m_writer.write("</div>\n</body>\n</tt>\n"); }

private:
    void appendTime(const CueTime &time)
    {
        if (time.onFrame()) {
            m_text += QByteArray::number(time.frame) + 'f';
            return;
        }
        char text[32];
        m_text += QByteArrayView(text, writeTimestamp(text, time.milliseconds) - text);
    }
    void appendAgent(const QByteArray &voice)
    {
        if (voice.isEmpty())
            return;
        m_text += " ttm:agent=\"";
        m_text += agentId(voice);
        m_text += '"';
    }
    QByteArray agentId(const QByteArray &voice) const
    {
        return "speaker" + QByteArray::number(m_agents.value(voice, m_agents.size() + 1));
    }
    // An agent is defined in the first cue that names it, as the paragraph's metadata.
    void appendAgentDefinition(const QByteArray &voice)
    {
        if (voice.isEmpty() || m_agents.contains(voice))
            return;
        const QByteArray id = agentId(voice);
        m_agents.insert(voice, m_agents.size() + 1);
        m_text += "<ttm:agent xml:id=\"" + id + "\" type=\"person\"><ttm:name type=\"full\">";
        appendEscaped(m_text, voice);
        m_text += "</ttm:name></ttm:agent>";
    }
    void appendMarkup(QByteArrayView markup)
    {
        MarkupReader reader(markup);
        MarkupPiece piece;
        while (reader.next(&piece)) {
            if (piece.kind == MarkupPiece::Text) {
                forEachLine(piece.text, [this](QByteArrayView line, bool first) {
                    if (!first)
                        m_text += "<br/>";
                    appendEscaped(m_text, line);
                });
                continue;
            }
            const QByteArrayView style = spanStyle(piece.text);
            if (style.isEmpty())
                continue;
            if (piece.kind == MarkupPiece::StartTag) {
                m_text += "<span " + style.toByteArray() + '>';
                m_spans.append(piece.text.toByteArray());
            } else if (!m_spans.isEmpty() && m_spans.last() == piece.text) {
                m_text += "</span>";
                m_spans.removeLast();
            }
        }
    }
    void closeSpans()
    {
        for (; !m_spans.isEmpty(); m_spans.removeLast())
            m_text += "</span>";
    }

    DocumentWriter &m_writer;
    QByteArray m_text; // what the call at hand writes
    QList<QByteArray> m_spans; // the styles open in the cue, innermost last
    QHash<QByteArray, qsizetype> m_agents; // by voice, numbered from 1 as they come
};

bool isTtml(QByteArrayView head)
{
    return head.contains("<tt ") && head.contains("http://www.w3.org/ns/ttml");
}

std::unique_ptr<TimedCueSink> makeSink(DocumentWriter &writer, const FormatSettings &settings)
{
    return std::make_unique<TtmlSink>(writer, settings);
}

} // namespace

extern const Format ttmlFormat{u"ttml", u".ttml", u"a TTML document", isTtml, makeSink};
