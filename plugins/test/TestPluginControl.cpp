#include "TestPluginControl.h"

#include "TestRenderer.h"
#include "TestSource.h"
#include "TuvoProxyRenderer.h"
#include "TuvoProxySource.h"

#include <TuvoInternalRegistry.h>

#include <QDBusConnection>
#include <QDebug>

namespace {
const QString ControlService = QStringLiteral("com.oxbel.tuvo.testplugin");
const QString ControlPath = QStringLiteral("/com/oxbel/tuvo/test");
}

TestPluginControl::TestPluginControl(TuvoInternalRegistry *registry, QObject *parent)
    : QObject(parent)
    , m_registry(registry)
{
}

TestPluginControl::~TestPluginControl()
{
    if (!m_published)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(ControlPath);
    bus.unregisterService(ControlService);
}

bool TestPluginControl::publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    m_published = bus.registerObject(ControlPath, this,
                                     QDBusConnection::ExportAllSlots)
                  && bus.registerService(ControlService);
    if (!m_published)
        qWarning() << "test plugin: cannot publish its control object";
    return m_published;
}

bool TestPluginControl::addObjects(const QString &description)
{
    const QStringList entries = description.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char(':'));
        if (fields.size() != 4 || !add_object(fields.at(0), fields.at(1), fields.at(2), fields.at(3))) {
            qWarning() << "test plugin: bad object description" << entry;
            return false;
        }
    }
    return true;
}

bool TestPluginControl::add_object(const QString &kind, const QString &uuid,
                                   const QString &pluginName, const QString &name)
{
    bool added = false;
    TuvoSource *source = nullptr;
    TuvoRenderer *renderer = nullptr;
    if (kind == QLatin1String("source"))
        source = new TestSource(uuid, pluginName, name);
    else if (kind == QLatin1String("proxysource"))
        source = new TuvoProxySource(uuid, pluginName, name);
    else if (kind == QLatin1String("renderer"))
        renderer = new TestRenderer(uuid, pluginName, name);
    else if (kind == QLatin1String("proxyrenderer"))
        renderer = new TuvoProxyRenderer(uuid, pluginName, name);
    // An object the registry refuses (a taken uuid) stays ours to delete.
    if (source && !(added = m_registry->addSource(source)))
        delete source;
    if (renderer && !(added = m_registry->addRenderer(renderer)))
        delete renderer;
    if (added)
        m_uuids.append(uuid);
    return added;
}

bool TestPluginControl::remove_object(const QString &uuid)
{
    m_uuids.removeAll(uuid);
    return m_registry->removeSource(uuid) || m_registry->removeRenderer(uuid);
}

void TestPluginControl::withdrawAll()
{
    const QStringList uuids = m_uuids;
    for (const QString &uuid : uuids)
        remove_object(uuid);
}
