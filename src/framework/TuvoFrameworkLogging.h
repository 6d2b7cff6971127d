#ifndef TUVOFRAMEWORKLOGGING_H
#define TUVOFRAMEWORKLOGGING_H

#include <QLoggingCategory>

// Diagnostics of the framework itself; quiet below warning unless enabled with
// QT_LOGGING_RULES="tuvo.framework.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTuvoFramework)

#endif
