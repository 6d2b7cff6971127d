#include "TuvoInternalRegistry.h"

#include "TuvoContent.h"
#include "TuvoError.h"
#include "TuvoFrameworkLogging.h"
#include "TuvoMediaInfo.h"
#include "TuvoPlaylist.h"
#include "TuvoPlugin.h"
#include "TuvoRenderer.h"
#include "TuvoSource.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace {
TuvoInternalRegistry *s_instance = nullptr;

QString pluginKey(const QString &plugin)
{
    const QString path = TuvoInternalRegistry::resolvePluginPath(plugin);
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
} // namespace

TuvoInternalRegistry *TuvoInternalRegistry::internalInstance()
{
    if (!s_instance)
        s_instance = new TuvoInternalRegistry;
    return s_instance;
}

TuvoInternalRegistry::TuvoInternalRegistry()
{
    qRegisterMetaType<TuvoContent>();
    qRegisterMetaType<TuvoError>();
    qRegisterMetaType<TuvoMediaInfo>();
    qRegisterMetaType<TuvoPlaylist *>();
    qRegisterMetaType<TuvoRenderer::State>();
}

TuvoInternalRegistry::~TuvoInternalRegistry()
{
    while (!m_plugins.isEmpty())
        unload(m_plugins.last());
    // Objects added while no plugin was loaded.
    const QStringList sources = m_sources.keys();
    for (const QString &uuid : sources)
        removeSource(uuid);
    const QStringList renderers = m_renderers.keys();
    for (const QString &uuid : renderers)
        removeRenderer(uuid);
    if (s_instance == this)
        s_instance = nullptr;
}

QString TuvoInternalRegistry::pluginDirectory()
{
    return QStringLiteral(TUVO_PLUGIN_DIR);
}

QString TuvoInternalRegistry::resolvePluginPath(const QString &plugin)
{
    // QPluginLoader looks relative names up in Qt's library paths, not in the
    // working directory that a user on a shell means.
    if (plugin.contains(QLatin1Char('/')))
        return QFileInfo(plugin).absoluteFilePath();
    const QString installed = QDir(pluginDirectory()).filePath(plugin);
    if (QFileInfo::exists(installed))
        return installed;
    return plugin;
}

bool TuvoInternalRegistry::isLoaded(const QString &plugin) const
{
    const QString key = pluginKey(plugin);
    for (const LoadedPlugin *loaded : m_plugins) {
        if (loaded->key == key)
            return true;
    }
    return false;
}

bool TuvoInternalRegistry::loadPlugin(const QString &plugin)
{
    if (plugin.isEmpty()) {
        qCWarning(lcTuvoFramework) << "no plugin given";
        return false;
    }
    if (isLoaded(plugin))
        return true;

    const QString path = resolvePluginPath(plugin);
    auto *loader = new QPluginLoader(path, this);
    // The code stays mapped after unloading: types and statics it registered with Qt
    // must stay valid, and reloading it later must find them consistent.
    loader->setLoadHints(QLibrary::PreventUnloadHint);
    QObject *root = loader->instance();
    if (!root) {
        qCWarning(lcTuvoFramework).noquote()
            << "cannot load plugin" << path << ":" << loader->errorString();
        delete loader;
        return false;
    }
    TuvoPlugin *tuvoPlugin = qobject_cast<TuvoPlugin *>(root);
    if (!tuvoPlugin) {
        qCWarning(lcTuvoFramework).noquote()
            << path << "is a Qt plugin but does not implement" << TuvoPlugin_iid;
        loader->unload();
        delete loader;
        return false;
    }

    auto *loaded = new LoadedPlugin;
    loaded->key = pluginKey(plugin);
    loaded->loader = loader;
    loaded->plugin = tuvoPlugin;
    m_plugins.append(loaded);

    m_initializing = loaded;
    const bool ok = tuvoPlugin->initialize(this);
    m_initializing = nullptr;
    if (!ok) {
        qCWarning(lcTuvoFramework).noquote() << "plugin" << path << "failed to initialize";
        unload(loaded);
        return false;
    }
    return true;
}

void TuvoInternalRegistry::unloadPlugin(const QString &plugin)
{
    const QString key = pluginKey(plugin);
    for (LoadedPlugin *loaded : qAsConst(m_plugins)) {
        if (loaded->key == key) {
            unload(loaded);
            return;
        }
    }
}

void TuvoInternalRegistry::unload(LoadedPlugin *loaded)
{
    m_initializing = loaded;
    loaded->plugin->deinitialize();
    m_initializing = nullptr;

    // Whatever the plugin left behind goes now, before its code does.
    const QStringList uuids = m_owners.keys(loaded->key);
    for (const QString &uuid : uuids) {
        if (m_sources.contains(uuid))
            removeSource(uuid);
        else
            removeRenderer(uuid);
    }
    for (const QPointer<TuvoMediaObject> &object : qAsConst(loaded->dying))
        delete object.data();

    m_plugins.removeOne(loaded);
    loaded->loader->unload();
    delete loaded->loader;
    delete loaded;
}

TuvoInternalRegistry::LoadedPlugin *TuvoInternalRegistry::owningPlugin()
{
    if (m_initializing)
        return m_initializing;
    return m_plugins.isEmpty() ? nullptr : m_plugins.last();
}

TuvoSource *TuvoInternalRegistry::findSource(const QString &uuid) const
{
    return m_sources.value(uuid, nullptr);
}

TuvoRenderer *TuvoInternalRegistry::findRenderer(const QString &uuid) const
{
    return m_renderers.value(uuid, nullptr);
}

QList<TuvoSource *> TuvoInternalRegistry::sources() const
{
    return m_sources.values();
}

QList<TuvoRenderer *> TuvoInternalRegistry::renderers() const
{
    return m_renderers.values();
}

bool TuvoInternalRegistry::addSource(TuvoSource *source)
{
    if (!source)
        return false;
    const QString uuid = source->uuid();
    if (m_sources.contains(uuid) || m_renderers.contains(uuid)) {
        qCWarning(lcTuvoFramework) << "uuid" << uuid << "is taken; source refused";
        return false;
    }
    source->setParent(nullptr);
    m_sources.insert(uuid, source);
    if (LoadedPlugin *owner = owningPlugin())
        m_owners.insert(uuid, owner->key);
    Q_EMIT sourceAdded(uuid, source->name());
    return true;
}

bool TuvoInternalRegistry::addRenderer(TuvoRenderer *renderer)
{
    if (!renderer)
        return false;
    const QString uuid = renderer->uuid();
    if (m_sources.contains(uuid) || m_renderers.contains(uuid)) {
        qCWarning(lcTuvoFramework) << "uuid" << uuid << "is taken; renderer refused";
        return false;
    }
    renderer->setParent(nullptr);
    m_renderers.insert(uuid, renderer);
    if (LoadedPlugin *owner = owningPlugin())
        m_owners.insert(uuid, owner->key);
    Q_EMIT rendererAdded(uuid, renderer->name());
    return true;
}

bool TuvoInternalRegistry::removeSource(const QString &uuid)
{
    TuvoSource *source = m_sources.take(uuid);
    if (!source)
        return false;
    const QString owner = m_owners.take(uuid);
    Q_EMIT sourceRemoved(uuid, source->name());
    retire(source, owner);
    return true;
}

bool TuvoInternalRegistry::removeRenderer(const QString &uuid)
{
    TuvoRenderer *renderer = m_renderers.take(uuid);
    if (!renderer)
        return false;
    const QString owner = m_owners.take(uuid);
    Q_EMIT rendererRemoved(uuid, renderer->name());
    retire(renderer, owner);
    return true;
}

void TuvoInternalRegistry::retire(TuvoMediaObject *object, const QString &owner)
{
    // Deleted through the event loop: the plugin may be removing an object from
    // inside one of that object's own calls.
    object->deleteLater();
    for (LoadedPlugin *loaded : qAsConst(m_plugins)) {
        if (loaded->key == owner) {
            loaded->dying.append(object);
            // Keep the list short for plugins that come and go with many objects.
            loaded->dying.removeAll(QPointer<TuvoMediaObject>());
            return;
        }
    }
}
