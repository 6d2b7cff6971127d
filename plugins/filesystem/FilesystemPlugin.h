#ifndef FILESYSTEMPLUGIN_H
#define FILESYSTEMPLUGIN_H

#include "FilesystemConfig.h"

#include <TuvoPlugin.h>

#include <QMap>
#include <QObject>
#include <QStringList>

class FilesystemSource;
class TuvoInternalRegistry;

/*!
 * The filesystem plugin: one FilesystemSource per media folder (root). The roots come
 * from the plugin's configuration file (FilesystemConfig) or, without one, from the
 * user's XDG music, videos and pictures folders. When the configuration allows it, a
 * client changes them by writing the "roots" property of any of the sources: the new
 * list is saved to the configuration file, sources of roots no longer listed are withdrawn and new ones published.
 */
class FilesystemPlugin : public QObject, public TuvoPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TuvoPlugin_iid)
    Q_INTERFACES(TuvoPlugin)
public:
    bool initialize(TuvoInternalRegistry *registry) override;
    void deinitialize() override;

private Q_SLOTS:
    void handlePropertyChanged(const QString &name, const QVariant &value);
    void applyRoots();

private:
    void publish(const QString &root);

    TuvoInternalRegistry *m_registry = nullptr;
    QString m_configPath;
    FilesystemConfig::Settings m_settings;
    QStringList m_roots;
    QMap<QString, QString> m_sources; // root -> source uuid
};

#endif
