#include "FilesystemPlugin.h"

#include "FilesystemConfig.h"
#include "FilesystemSource.h"

#include <TuvoInternalRegistry.h>

#include <QFileInfo>
#include <QTimer>

bool FilesystemPlugin::initialize(TuvoInternalRegistry *registry)
{
    m_registry = registry;
    m_configPath = FilesystemConfig::defaultPath();
    m_settings = FilesystemConfig::load(m_configPath);
    m_roots = m_settings.roots;
    if (m_roots.isEmpty())
        qWarning("filesystem plugin: no media folder to publish (configure them in %s)",
                 qPrintable(m_configPath));
    for (const QString &root : qAsConst(m_roots))
        publish(root);
    return true;
}

void FilesystemPlugin::deinitialize()
{
    if (!m_registry)
        return;
    for (const QString &uuid : qAsConst(m_sources))
        m_registry->removeSource(uuid);
    m_sources.clear();
    m_registry = nullptr;
}

void FilesystemPlugin::publish(const QString &root)
{
    // A folder on a medium that is not mounted just now gets no source.
    if (!QFileInfo(root).isDir()) {
        qWarning("filesystem plugin: %s is not a folder, not published", qPrintable(root));
        return;
    }
    FilesystemConfig::Settings settings = m_settings;
    settings.roots = m_roots;
    auto *source = new FilesystemSource(root, settings);
    if (!m_registry->addSource(source)) {
        qWarning("filesystem plugin: %s is published already", qPrintable(root));
        delete source;
        return;
    }
    m_sources.insert(root, source->uuid());
    connect(source, &FilesystemSource::tuvoPropertyChanged, this,
            &FilesystemPlugin::handlePropertyChanged);
}

void FilesystemPlugin::handlePropertyChanged(const QString &name, const QVariant &value)
{
    if (name != QLatin1String("roots"))
        return;
    QString error;
    const QStringList roots = FilesystemConfig::checkRoots(value.toStringList(), &error);
    if (roots.isEmpty() || roots == m_roots)
        return;
    m_roots = roots;
    if (!FilesystemConfig::save(m_configPath, m_roots, &error))
        qWarning("filesystem plugin: cannot save %s: %s", qPrintable(m_configPath), qPrintable(error));
    // Not now: the source whose property was written is still in that call.
    QTimer::singleShot(0, this, &FilesystemPlugin::applyRoots);
}

void FilesystemPlugin::applyRoots()
{
    if (!m_registry)
        return;
    const QStringList published = m_sources.keys();
    for (const QString &root : published) {
        if (!m_roots.contains(root))
            m_registry->removeSource(m_sources.take(root));
    }
    for (const QString &root : qAsConst(m_roots)) {
        if (m_sources.contains(root)) {
            if (auto *source = qobject_cast<FilesystemSource *>(
                    m_registry->findSource(m_sources.value(root))))
                source->showRoots(m_roots);
        } else {
            publish(root);
        }
    }
}
