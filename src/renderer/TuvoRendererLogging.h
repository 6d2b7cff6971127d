#ifndef TUVORENDERERLOGGING_H
#define TUVORENDERERLOGGING_H

#include <QLoggingCategory>

// Diagnostics of the renderer adaptors beyond the system's own log lines; quiet below
// warning unless enabled with QT_LOGGING_RULES="tuvo.renderer.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcTuvoRenderer)

#endif
