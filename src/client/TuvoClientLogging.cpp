#include "TuvoClientLogging.h"

Q_LOGGING_CATEGORY(lcTuvoClient, "tuvo.client", QtWarningMsg)
