// Cue text markup read for the formats that have markup of their own: plain text with each
// entity turned into its character, and tags by name.
#ifndef CUEFOLD_CUETEXT_H
#define CUEFOLD_CUETEXT_H

#include <QByteArrayView>

struct MarkupPiece
{
    enum Kind { Text, StartTag, EndTag };
    Kind kind = Text;
    QByteArrayView text; // the characters; for a tag, its name ("i", "v", "c", ...)
};

// Reads markup piece by piece. A '<' or '&' that starts no tag or entity is text, and so is an
// entity that names no character.
class MarkupReader
{
public:
    explicit MarkupReader(QByteArrayView markup) : m_markup(markup) {}
    bool next(MarkupPiece *piece);

private:
    QByteArrayView m_markup;
    qsizetype m_at = 0;
    char m_character[4]; // an entity's, in UTF-8
};

// Calls `take(line, isFirst)` for each line of `text`, which '\n' separates.
template<typename Take>
void forEachLine(QByteArrayView text, Take take)
{
    for (qsizetype from = 0;;) {
        const qsizetype end = text.indexOf('\n', from);
        take(text.sliced(from, (end < 0 ? text.size() : end) - from), from == 0);
        if (end < 0)
            return;
        from = end + 1;
    }
}

#endif
