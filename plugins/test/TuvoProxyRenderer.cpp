#include "TuvoProxyRenderer.h"

TuvoProxyRenderer::TuvoProxyRenderer(const QString &uuid, const QString &pluginName,
                                 const QString &name, QObject *parent)
    : TuvoRenderer(uuid, pluginName, name, parent)
{
}
