#ifndef TUVOPROPERTYCONVERSION_H
#define TUVOPROPERTYCONVERSION_H

#include <QMetaType>
#include <QVariant>

/*!
 * How a value written to a declared property becomes the property's type.
 *
 * Clients choose integer widths freely (gdbus sends 55 as an int32, others as a uint32
 * or a byte), so a number property takes any number it can hold exactly: no rounding,
 * no truncation, no change of sign. Any other value is taken when it converts without
 * loss, that is when it converts back to itself: "30" gives 30 and "true" gives true,
 * but "no" gives no boolean and "loud" no number.
 */
class TuvoPropertyConversion
{
public:
    /*! Converts \a value to \a type in place; false when it cannot without loss. */
    static bool convertExactly(QVariant &value, QMetaType type);
};

#endif
