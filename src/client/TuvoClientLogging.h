#ifndef TUVOCLIENTLOGGING_H
#define TUVOCLIENTLOGGING_H

#include <QLoggingCategory>

// Diagnostics of the client library: what it drops from a misbehaving service and
// why. Quiet below warning unless enabled with QT_LOGGING_RULES="tuvo.client.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTuvoClient)

#endif
