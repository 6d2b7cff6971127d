#ifndef TUVOCLIENTGLOBAL_H
#define TUVOCLIENTGLOBAL_H

#include <QtCore/qglobal.h>

#if defined(TUVO_CLIENT_LIBRARY)
#define TUVO_CLIENT_EXPORT Q_DECL_EXPORT
#else
#define TUVO_CLIENT_EXPORT Q_DECL_IMPORT
#endif

/*!
 * Defaults of the client library. Every D-Bus call made by the library has a
 * time-out; this one applies until the caller sets another.
 */
namespace TuvoClientDefaults {
constexpr int CallTimeoutMs = 5000;
}

#endif
