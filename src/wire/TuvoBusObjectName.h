#ifndef TUVOBUSOBJECTNAME_H
#define TUVOBUSOBJECTNAME_H

#include <QString>

/*!
 * What a well-known bus name or an object path of the naming scheme says: the kind
 * of object and its name (the uuid of a source or renderer, the derived name of a
 * plugin). Invalid when the name is not of the scheme.
 */
struct TuvoBusObjectName
{
    enum Kind { None, Plugin, Source, Renderer };

    Kind kind = None;
    QString name;
    /*! The bus name that was read; empty when an object path was read. */
    QString busName;

    bool isValid() const { return kind != None; }
};

#endif
