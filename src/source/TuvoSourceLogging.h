#ifndef TUVOSOURCELOGGING_H
#define TUVOSOURCELOGGING_H

#include <QLoggingCategory>

// Diagnostics of the source adaptors beyond the system's own log lines; quiet below
// warning unless enabled with QT_LOGGING_RULES="tuvo.source.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTuvoSource)

// The system's own debug lines belong to the default category, as qDebug()'s do.
// Written as qCDebug(tuvoDefaultLog), a line on the per-result path is not even built
// while the default category's debug output is off.
inline const QLoggingCategory &tuvoDefaultLog()
{
    return *QLoggingCategory::defaultCategory();
}

#endif
