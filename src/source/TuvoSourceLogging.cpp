#include "TuvoSourceLogging.h"

Q_LOGGING_CATEGORY(lcTuvoSource, "tuvo.source", QtWarningMsg)
