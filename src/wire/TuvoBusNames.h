#ifndef TUVOBUSNAMES_H
#define TUVOBUSNAMES_H

#include "TuvoBusObjectName.h"
#include "TuvoWireGlobal.h"

#include <QString>

// The interface names as literals, for Q_CLASSINFO("D-Bus Interface", ...) of the adaptors.
#define TUVO_PLUGIN_INTERFACE "com.oxbel.tuvo.plugin"
#define TUVO_REGISTRY_INTERFACE "com.oxbel.tuvo.registry"
#define TUVO_SOURCE_INTERFACE "com.oxbel.tuvo.source"
#define TUVO_PROXY_SOURCE_INTERFACE "com.oxbel.tuvo.proxy_source"
#define TUVO_RENDERER_INTERFACE "com.oxbel.tuvo.renderer"
#define TUVO_EXTENSION_INTERFACE "com.oxbel.tuvo.extension"

/*!
 * The naming scheme of everything a wrapper puts on the bus: its well-known names,
 * object paths and interfaces, built from the plugin argument and the objects'
 * identities, and read back from what a client sees on the bus. Also the name of the
 * wrapper's log file, which follows the plugin argument the same way.
 */
class TUVO_WIRE_EXPORT TuvoBusNames
{
public:
    /*! "libtuvo_sample_plugin" from ".../libtuvo-sample-plugin.so": no ".so", "-" as "_". */
    static QString pluginName(const QString &pluginArgument);
    /*! "sample" for "libtuvo_sample_plugin": without "lib", "tuvo_" and "_plugin". */
    static QString shortPluginName(const QString &pluginName);
    /*! Home + "/" + the argument's file name without any ".so" + ".log". */
    static QString logFilePath(const QString &pluginArgument, const QString &homePath);

    static QString pluginServiceName(const QString &pluginName);
    static QString pluginObjectPath(const QString &pluginName);

    /*! The bus name of a source of the plugin named \a objectPluginName (blanks as "-"). */
    static QString sourceServiceName(const QString &objectPluginName, const QString &uuid);
    static QString sourceObjectPath(const QString &uuid);
    static QString rendererServiceName(const QString &objectPluginName, const QString &uuid);
    static QString rendererObjectPath(const QString &uuid);
    /*! Where a client receives the results of its browses and queries on source \a uuid. */
    static QString proxySourceObjectPath(const QString &sourceUuid);

    /*! Reads a bus name of the scheme; invalid for any other name. */
    static TuvoBusObjectName parseServiceName(const QString &busName);
    /*! Reads the kind and uuid from the path of a source or renderer; invalid otherwise. */
    static TuvoBusObjectName parseObjectPath(const QString &path);

    static const char *const PluginService;        // "com.oxbel.tuvo.plugin"
    static const char *const PluginPath;           // "/com/oxbel/tuvo/plugin", also of "new_plugin"
    static const char *const PluginInterface;      // "com.oxbel.tuvo.plugin"
    static const char *const RegistryPath;         // "/com/oxbel/tuvo/registry"
    static const char *const RegistryInterface;    // "com.oxbel.tuvo.registry"
    static const char *const SourceService;        // "com.oxbel.tuvo.source"
    static const char *const SourcePath;           // "/com/oxbel/tuvo/source"
    static const char *const SourceInterface;      // "com.oxbel.tuvo.source"
    static const char *const ProxySourcePath;      // "/com/oxbel/tuvo/proxy_source"
    static const char *const ProxySourceInterface; // "com.oxbel.tuvo.proxy_source"
    static const char *const RendererService;      // "com.oxbel.tuvo.renderer"
    static const char *const RendererPath;         // "/com/oxbel/tuvo/renderer"
    static const char *const RendererInterface;    // "com.oxbel.tuvo.renderer"
    static const char *const ExtensionInterface;   // "com.oxbel.tuvo.extension"
};

#endif
