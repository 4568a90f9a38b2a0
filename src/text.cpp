// Small helpers on UTF-8 bytes.
#include "text.h"

#include <QChar>

char32_t codePointAt(const char *p, int *length)
{
    const auto lead = uchar(p[0]);
    *length = lead < 0x80 ? 1 : utf8Length(lead);
    if (*length == 1)
        return lead;
    char32_t c = lead & (0x7F >> *length);
    for (int i = 1; i < *length; ++i)
        c = c << 6 | (uchar(p[i]) & 0x3F);
    return c;
}

QString codePointName(char32_t c)
{
    return QStringLiteral("U+") + QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
}

QByteArrayView trimmedUnicode(const char *begin, const char *end)
{
    while (begin < end) {
        int length = 1;
        if (uchar(*begin) < 0x80 ? !isPatternSpace(*begin)
                                 : !QChar::isSpace(codePointAt(begin, &length)))
            break;
        begin += length;
    }
    int length;
    while (end > begin) {
        const char *last = end - 1;
        if (uchar(*last) < 0x80) {
            if (!isPatternSpace(*last))
                break;
        } else {
            while (last > begin && (uchar(*last) & 0xC0) == 0x80)
                --last;
            if (!QChar::isSpace(codePointAt(last, &length)))
                break;
        }
        end = last;
    }
    return QByteArrayView(begin, end - begin);
}
