#ifndef TUVOINTERNALREGISTRY_H
#define TUVOINTERNALREGISTRY_H

#include "TuvoFrameworkGlobal.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QPluginLoader;
class TuvoMediaObject;
class TuvoPlugin;
class TuvoRenderer;
class TuvoSource;

/*!
 * Loads plugins and keeps the sources and renderers they create.
 *
 * One instance per process (internalInstance()); deleting it unloads every plugin
 * that is still loaded, withdrawing and deleting its objects, and the next
 * internalInstance() starts afresh.
 *
 * Every object handed over with addSource() or addRenderer() belongs to the registry
 * and is reported with sourceAdded() or rendererAdded(); removing it reports
 * sourceRemoved() or rendererRemoved() and then deletes it. Objects belong to the
 * plugin that is being initialised when they are added, or else to the plugin loaded
 * last, and are withdrawn with that plugin.
 */
class TUVO_FRAMEWORK_EXPORT TuvoInternalRegistry : public QObject
{
    Q_OBJECT
public:
    static TuvoInternalRegistry *internalInstance();
    ~TuvoInternalRegistry() override;

    /*!
     * Loads and initialises the plugin \a plugin: a path to the library (anything with
     * a "/"), or a file name looked up in the installed plugin directory. Loading a
     * plugin that is loaded already succeeds without doing anything.
     */
    bool loadPlugin(const QString &plugin);
    /*! Deinitialises and unloads \a plugin; nothing happens if it is not loaded. */
    void unloadPlugin(const QString &plugin);
    bool isLoaded(const QString &plugin) const;
    /*! The library path loadPlugin() uses for \a plugin. */
    static QString resolvePluginPath(const QString &plugin);
    /*! The directory searched for plugins given by file name. */
    static QString pluginDirectory();

    TuvoSource *findSource(const QString &uuid) const;
    TuvoRenderer *findRenderer(const QString &uuid) const;
    QList<TuvoSource *> sources() const;
    QList<TuvoRenderer *> renderers() const;

    /*!
     * Takes ownership of \a source and reports it. Refused (false, ownership stays with
     * the caller) for a null source or a uuid that is taken.
     */
    bool addSource(TuvoSource *source);
    bool addRenderer(TuvoRenderer *renderer);
    /*! Reports the removal, then deletes the object through the event loop. */
    bool removeSource(const QString &uuid);
    bool removeRenderer(const QString &uuid);

Q_SIGNALS:
    void sourceAdded(const QString &uuid, const QString &name);
    void rendererAdded(const QString &uuid, const QString &name);
    void sourceRemoved(const QString &uuid, const QString &name);
    void rendererRemoved(const QString &uuid, const QString &name);

private:
    struct LoadedPlugin {
        QString key;
        QPluginLoader *loader = nullptr;
        TuvoPlugin *plugin = nullptr;
        // Objects withdrawn but not deleted yet; deleted before the plugin goes.
        QList<QPointer<TuvoMediaObject>> dying;
    };

    TuvoInternalRegistry();
    LoadedPlugin *owningPlugin();
    void unload(LoadedPlugin *loaded);
    void retire(TuvoMediaObject *object, const QString &owner);

    QMap<QString, TuvoSource *> m_sources;
    QMap<QString, TuvoRenderer *> m_renderers;
    QMap<QString, QString> m_owners; // uuid -> plugin key
    QList<LoadedPlugin *> m_plugins;
    LoadedPlugin *m_initializing = nullptr;
};

#endif
