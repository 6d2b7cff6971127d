#ifndef TUVOWIRELOGGING_H
#define TUVOWIRELOGGING_H

#include <QLoggingCategory>

// Diagnostics of the wire forms; quiet below warning unless enabled with
// QT_LOGGING_RULES="tuvo.wire.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTuvoWire)

#endif
