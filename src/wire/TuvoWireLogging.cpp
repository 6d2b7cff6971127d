#include "TuvoWireLogging.h"

Q_LOGGING_CATEGORY(lcTuvoWire, "tuvo.wire", QtWarningMsg)
