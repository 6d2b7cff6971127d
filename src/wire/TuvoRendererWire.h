#ifndef TUVORENDERERWIRE_H
#define TUVORENDERERWIRE_H

#include "TuvoWireGlobal.h"

#include <QObject>
#include <QString>

/*!
 * The values of the renderer interface that travel as numbers, and its error names.
 * The numbers are the wire's: the framework's renderer states and seek modes carry
 * the same values.
 */
class TUVO_WIRE_EXPORT TuvoRendererWire
{
    Q_GADGET
public:
    enum State : int { Stopped = 0, Playing = 1, Paused = 2, Buffering = 3, Error = 4 };
    Q_ENUM(State)
    enum SeekMode : int { SeekAbsolute = 0, SeekForward = 1, SeekBackward = 2 };
    Q_ENUM(SeekMode)

    /*! "stopped", "playing", ...; the number as text for a state not listed above. */
    static QString stateName(int state);

    /*! The error of pending queries that navigation or a renderer error ended. */
    static const char *const CancelledErrorName; // "com.oxbel.tuvo.renderer.cancelled"
    static const char *const CancelledErrorText; // "Message cancelled."
};

#endif
