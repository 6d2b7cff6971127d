#include "TuvoRendererLogging.h"

Q_LOGGING_CATEGORY(lcTuvoRenderer, "tuvo.renderer", QtWarningMsg)
