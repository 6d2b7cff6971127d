#include "TuvoProxySource.h"

TuvoProxySource::TuvoProxySource(const QString &uuid, const QString &pluginName,
                                 const QString &name, QObject *parent)
    : TuvoSource(uuid, pluginName, name, parent)
{
}
