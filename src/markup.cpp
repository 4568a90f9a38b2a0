// Cue text markup as a WebVTT reader sees it.
#include "markup.h"

#include "text.h"

#include <algorithm>

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
