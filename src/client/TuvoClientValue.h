#ifndef TUVOCLIENTVALUE_H
#define TUVOCLIENTVALUE_H

#include "TuvoClientGlobal.h"

#include <QStringList>
#include <QVariant>

/*!
 * Typed values as they cross the bus in variants: names for their types, text to
 * value for a chosen type, and received values unwrapped into plain QVariants.
 *
 * Type names: bool, byte, int16, uint16, int, uint, int64, uint64, double, string,
 * char (metadata only), object-path, signature, bytes, list, map.
 */
class TUVO_CLIENT_EXPORT TuvoClientValue
{
public:
    /*! The type name of \a value; "none" for an invalid QVariant. */
    static QString typeName(const QVariant &value);
    /*! The names parse() accepts. */
    static QStringList parsableTypeNames();
    /*!
     * \a text as a value of the type called \a type: numbers in decimal (or 0x hex),
     * bool as true/false/yes/no/1/0. An invalid QVariant and a reason in \a error when
     * the text is not a value of that type or the type is unknown.
     */
    static QVariant parse(const QString &text, const QString &type, QString *error = nullptr);
    /*! \a text as a value of the same type as \a example. */
    static QVariant parseAs(const QString &text, const QVariant &example, QString *error = nullptr);
};

#endif
