#include "TuvoRendererWire.h"

#include <QMetaEnum>

const char *const TuvoRendererWire::CancelledErrorName = "com.oxbel.tuvo.renderer.cancelled";
const char *const TuvoRendererWire::CancelledErrorText = "Message cancelled.";

QString TuvoRendererWire::stateName(int state)
{
    const char *key = QMetaEnum::fromType<State>().valueToKey(state);
    return key ? QString::fromLatin1(key).toLower() : QString::number(state);
}
