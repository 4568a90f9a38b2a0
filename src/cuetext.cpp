// Cue text markup read for other formats.
#include "cuetext.h"

#include "markup.h"
#include "text.h"

#include <QString>

namespace {

// The entities WebVTT writers use; the many others of HTML stay as written.
struct NamedEntity
{
    QByteArrayView name;
    char32_t character;
};
constexpr NamedEntity namedEntities[] = {
        {"amp", U'&'},      {"lt", U'<'},       {"gt", U'>'},       {"quot", U'"'},
        {"apos", U'\''},    {"nbsp", U'\u00A0'}, {"lrm", U'\u200E'}, {"rlm", U'\u200F'},
};

// The character "&...;" names, or 0.
char32_t entityCharacter(QByteArrayView entity)
{
    const QByteArrayView name = entity.sliced(1, entity.size() - 2);
    if (!name.startsWith('#')) {
        for (const NamedEntity &named : namedEntities) {
            if (named.name == name)
                return named.character;
        }
        return 0;
    }
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    bool ok = false;
    const uint code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    const bool valid = ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? char32_t(code) : 0;
}

int encodeUtf8(char32_t c, char *out)
{
    const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
    std::copy(bytes.begin(), bytes.end(), out);
    return int(bytes.size());
}

} // namespace

bool MarkupReader::next(MarkupPiece *piece)
{
    if (m_at >= m_markup.size())
        return false;
    const qsizetype from = m_at;
    const Element first = nextElement(m_markup, from);
    const QByteArrayView element = m_markup.sliced(from, first.end - from);
    m_at = first.end;
    if (first.isTag) {
        const bool end = element[1] == '/';
        const QByteArrayView inner = element.sliced(end ? 2 : 1, element.size() - (end ? 3 : 2));
        qsizetype n = 0;
        while (n < inner.size() && inner[n] != '.' && !isBlank(inner[n]))
            ++n;
        *piece = {end ? MarkupPiece::EndTag : MarkupPiece::StartTag, inner.first(n)};
        return true;
    }
    if (element.size() > 1 && element[0] == '&') {
        if (const char32_t c = entityCharacter(element)) {
            *piece = {MarkupPiece::Text, QByteArrayView(m_character, encodeUtf8(c, m_character))};
            return true;
        }
    }
    // Text runs to the next place a tag or an entity may start.
    while (m_at < m_markup.size() && m_markup[m_at] != '<' && m_markup[m_at] != '&')
        m_at = nextElement(m_markup, m_at).end;
    *piece = {MarkupPiece::Text, m_markup.sliced(from, m_at - from)};
    return true;
}
