// Where a passage breaks well between two words, in English and in scripts written without
// spaces: what a word's own characters say (sentence marks, abbreviations, articles,
// determiners, possessives, prepositions, conjunctions, dialogue dashes) and the class of the
// break that two neighbours make. What each class costs is in readability.h.
#ifndef CUEFOLD_BREAKS_H
#define CUEFOLD_BREAKS_H

#include <QByteArrayView>
#include <QtGlobal>

#include <array>

// How a word ends, after any closing quotes or brackets.
enum class EndMark : quint8 {
    None,
    Clause, // , ; :
    Stop, // a full stop that is no abbreviation's
    Exclaim, // ! or ?
    Ellipsis, // ... or the one character
    Abbreviation, // Dr. e.g. U.S. a.m. J. pp.
    Numbering, // No. p. before a number, else a full stop
};

// How a word starts, after any opening quotes or brackets.
enum class StartMark : quint8 { Other, Lower, Upper, Digit, Ellipsis, Dash };

// What a word does to its neighbours.
enum class Role : quint8 {
    Plain,
    Binding, // article, determiner, possessive, preposition, title: it leads into what follows
    Conjunction, // it opens a clause, and leads into it
    Dash, // a dash standing alone: a turn of dialogue, or speech cut off
};

struct WordTraits
{
    EndMark end = EndMark::None;
    StartMark start = StartMark::Other;
    Role role = Role::Plain;
};

// Whether a line may break between two visible units with no blank between them: in a
// script written without spaces, but never before a closing mark or after an opening one.
bool mayBreakBetween(QByteArrayView left, QByteArrayView right);

// The visible pieces of a word (entities and code points; no tags), first to last.
WordTraits wordTraits(const QByteArrayView *units, qsizetype count);
// The same for a word of ASCII characters without tags or entities, each a unit: `head` holds
// its first characters, and `tail`, if any, its last.
WordTraits wordTraits(QByteArrayView head, QByteArrayView tail);

// Break classes, best first.
enum class Break : quint8 {
    Forced, // a dialogue dash after a sentence end, or a kept line's end: a new line at least
    Sentence,
    Clause, // after a comma, colon, semicolon, a pause (...) or a cut-off dash
    Phrase, // before a conjunction, article, determiner, possessive or preposition
    Plain,
    Bad, // after a word that leads into the next, or before a dash that ends speech
};

constexpr bool endsSentence(Break b)
{
    return b == Break::Forced || b == Break::Sentence;
}

// The break between any two words, by what the first ends with and does, and what the
// second starts with and does: looked up, since it is asked of every word.
struct BreakTable
{
    static constexpr int endMarks = 7;
    static constexpr int startMarks = 6;
    static constexpr int roles = 4;
    static constexpr int size = roles * endMarks * 2 * startMarks * roles;

    static constexpr int index(const WordTraits &before, bool beforeOpens,
                               const WordTraits &after)
    {
        return (((int(before.role) * endMarks + int(before.end)) * 2 + int(beforeOpens))
                        * startMarks
                + int(after.start))
                * roles
                + int(after.role);
    }
    static const std::array<Break, size> breaks;
};

// The break between `before` and `after`; `beforeOpens` when `before` starts a sentence.
inline Break breakBetween(const WordTraits &before, bool beforeOpens, const WordTraits &after)
{
    return BreakTable::breaks[size_t(BreakTable::index(before, beforeOpens, after))];
}

#endif
