#ifndef TUVOBUSTEXT_H
#define TUVOBUSTEXT_H

#include <QString>
#include <QVariant>

/*!
 * Whether a value would reach the bus as another text: a D-Bus string ends at its
 * first NUL, so a QString holding U+0000 would arrive cut, and a cut id or value can
 * be another one. Replies and signals holding such a text are not sent.
 */
class TuvoBusText
{
public:
    static bool holdsNul(const QString &text) { return text.contains(QChar(u'\0')); }
    /*! Looks into texts, text lists, lists, maps (keys too) and D-Bus variants. */
    static bool holdsNul(const QVariant &value);
};

#endif
