#include "TuvoFrameworkLogging.h"

Q_LOGGING_CATEGORY(lcTuvoFramework, "tuvo.framework", QtWarningMsg)
