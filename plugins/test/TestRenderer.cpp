#include "TestRenderer.h"

TestRenderer::TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                       QObject *parent)
    : TuvoRenderer(uuid, pluginName, name, parent)
{
}

TestRenderer::~TestRenderer() = default;
