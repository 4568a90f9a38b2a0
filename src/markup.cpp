// Cue text markup as a WebVTT reader sees it.
#include "markup.h"

#include "text.h"

#include <algorithm>
#include <cstring>

namespace {

// A '<' opens a tag when a name, a '/' or a timestamp digit follows it and a '>' comes
// before the next '<', within the length of a tag. A space cannot end the search, since
// <v Anna Maria> is one tag; "a < b", an unclosed "<b" and a '<' whose '>' is far off
// ("a <b ... x > y") stay visible text, as the converter writes them.
qsizetype tagEnd(QByteArrayView s, qsizetype i)
{
    if (i + 1 >= s.size() || (!isAsciiAlnum(s[i + 1]) && s[i + 1] != '/'))
        return -1;
    const qsizetype last = std::min(s.size(), i + maxTagLength);
    for (qsizetype j = i + 1; j < last; ++j) {
        if (s[j] == '>')
            return j + 1;
        if (s[j] == '<' || s[j] == '\n') // no tag spans a kept line's end
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

} // namespace

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
    return {std::min(i + utf8Length(c), s.size()), false};
}

bool showsText(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size();) {
        const Element e = nextElement(text, i);
        if (!e.isTag && !isBlank(text[i]) && text[i] != '\n')
            return true;
        i = e.end;
    }
    return false;
}

qsizetype leadingEndTags(QByteArrayView tags)
{
    qsizetype split = 0;
    for (qsizetype j = 0; j < tags.size();) {
        const Element e = nextElement(tags, j);
        if (e.isTag && tags[j + 1] != '/')
            break;
        if (e.isTag)
            split = e.end;
        j = e.end;
    }
    return split;
}

qsizetype visibleLength(QByteArrayView text, qsizetype atMost)
{
    qsizetype visible = 0;
    for (qsizetype i = 0; i < text.size() && visible <= atMost;) {
        const Element e = nextElement(text, i);
        visible += e.isTag ? 0 : 1;
        i = e.end;
    }
    return visible;
}

// Only line feeds move, and blanks that would start a line go: the text never grows, so it is
// rewritten in place, front to back.
void placeLineBreaks(QByteArray &text)
{
    // Most line breaks touch no tag (kept lines are trimmed): then there is nothing to move.
    bool touches = false;
    for (qsizetype i = text.indexOf('\n'); i >= 0 && !touches; i = text.indexOf('\n', i + 1))
        touches = (i > 0 && text[i - 1] == '>') || (i + 1 < text.size() && text[i + 1] == '<');
    if (!touches)
        return;
    char *const data = text.data();
    const QByteArrayView in(data, text.size());
    qsizetype written = 0;
    qsizetype textEnd = -1; // where the last element written that shows ends
    QByteArray run; // tags, blanks and line feeds from one line's text to the next one's
    const auto put = [&](QByteArrayView part, bool trimStart) {
        for (const char c : part) {
            if (c != '\n' && !(trimStart && isBlank(c))) {
                data[written++] = c;
                trimStart = false;
            }
        }
    };
    for (qsizetype i = 0; i < in.size();) {
        if (in[i] != '\n') {
            const Element e = nextElement(in, i);
            const bool shows = !e.isTag && !isBlank(in[i]);
            std::memmove(data + written, data + i, size_t(e.end - i));
            written += e.end - i;
            if (shows)
                textEnd = written;
            i = e.end;
            continue;
        }
        qsizetype next = i;
        while (next < in.size()) {
            if (in[next] == '\n' || isBlank(in[next])) {
                ++next;
                continue;
            }
            const Element e = nextElement(in, next);
            if (!e.isTag)
                break;
            next = e.end;
        }
        const qsizetype from = std::max(textEnd, qsizetype(0));
        run.resize(0);
        run.append(QByteArrayView(data + from, written - from)).append(in.sliced(i, next - i));
        written = from;
        const bool between = textEnd >= 0 && next < in.size();
        const qsizetype split = between ? leadingEndTags(run) : 0;
        put(QByteArrayView(run).first(split), false);
        if (between)
            data[written++] = '\n';
        put(QByteArrayView(run).sliced(split), between);
        i = next;
    }
    text.truncate(written);
}
