#include "TestSource.h"

TestSource::TestSource(const QString &uuid, const QString &pluginName, const QString &name,
                       QObject *parent)
    : TuvoSource(uuid, pluginName, name, parent)
{
}

TestSource::~TestSource() = default;
