#ifndef TUVOPROPERTYCONVERSION_H
#define TUVOPROPERTYCONVERSION_H

#include <QMetaType>
#include <QVariant>

/*!
 * How a value written to a declared property becomes the property's type: one table,
 * by the property's kind and the value's kind.
 *
 * Clients choose integer widths freely (gdbus sends 55 as an int32, others as a uint32
 * or a byte), so a number property takes any number it can hold exactly: no rounding,
 * no truncation, no change of sign; and a number written as text in C notation ("30",
 * "1e3"). A bool property takes a bool or "true"/"false", never a number, and a number
 * property never a bool. A list property takes any list (a text list only texts), a
 * map property a map. Other pairs are taken when the value converts to the type and
 * back to itself.
 */
class TuvoPropertyConversion
{
public:
    /*! Converts \a value to \a type in place; false when it cannot without loss. */
    static bool convertExactly(QVariant &value, QMetaType type);
};

#endif
