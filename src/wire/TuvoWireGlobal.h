#ifndef TUVOWIREGLOBAL_H
#define TUVOWIREGLOBAL_H

#include <QtCore/qglobal.h>

#if defined(TUVO_WIRE_LIBRARY)
#define TUVO_WIRE_EXPORT Q_DECL_EXPORT
#else
#define TUVO_WIRE_EXPORT Q_DECL_IMPORT
#endif

#endif
