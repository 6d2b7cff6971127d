#ifndef TUVOINTERFACEFILES_H
#define TUVOINTERFACEFILES_H

#include "TuvoWireGlobal.h"

#include <QStringList>

/*!
 * The interface files of dbus/, built into the library: what a member is called and
 * what its arguments are called is read from them, never typed again.
 */
class TUVO_WIRE_EXPORT TuvoInterfaceFiles
{
public:
    /*! The <interface> element of \a interface as its file gives it; empty if unknown. */
    static QString interfaceXml(const QString &interface);
    /*! The names of the arguments of signal \a member of \a interface, in order. */
    static QStringList signalArgumentNames(const QString &interface, const QString &member);
};

#endif
