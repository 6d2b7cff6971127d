#ifndef TUVOCLIENTNAMES_H
#define TUVOCLIENTNAMES_H

#include "TuvoClientGlobal.h"
#include "TuvoClientObjectInfo.h"

#include <QString>

/*!
 * The naming scheme of the wrapper's bus names, object paths and hello signals, seen
 * from the client side: building names and reading them back.
 */
class TUVO_CLIENT_EXPORT TuvoClientNames
{
public:
    static const char *const PluginServicePrefix;   // "com.oxbel.tuvo.plugin."
    static const char *const SourceServicePrefix;   // "com.oxbel.tuvo.source."
    static const char *const RendererServicePrefix; // "com.oxbel.tuvo.renderer."
    static const char *const PluginPath;            // "/com/oxbel/tuvo/plugin", also of "new_plugin"
    static const char *const SourcePath;            // "/com/oxbel/tuvo/source"
    static const char *const RendererPath;          // "/com/oxbel/tuvo/renderer"
    static const char *const ProxySourcePath;       // "/com/oxbel/tuvo/proxy_source"
    static const char *const RegistryPath;          // "/com/oxbel/tuvo/registry"

    static const char *const PluginInterface;       // "com.oxbel.tuvo.plugin"
    static const char *const RegistryInterface;     // "com.oxbel.tuvo.registry"
    static const char *const SourceInterface;       // "com.oxbel.tuvo.source"
    static const char *const ProxySourceInterface;  // "com.oxbel.tuvo.proxy_source"
    static const char *const RendererInterface;     // "com.oxbel.tuvo.renderer"
    static const char *const ExtensionInterface;    // "com.oxbel.tuvo.extension"

    /*!
     * The plugin name a wrapper derives from its plugin argument: the file name
     * without any ".so", "-" as "_" ("libtuvo_sample_plugin" from
     * "/usr/lib/tuvo/plugins/libtuvo-sample-plugin.so").
     */
    static QString pluginNameFromFile(const QString &pluginArgument);

    /*! "sample" for "libtuvo_sample_plugin": without "lib", "tuvo_" and "_plugin". */
    static QString shortPluginName(const QString &pluginName);

    static QString pluginServiceName(const QString &pluginName);
    static QString pluginObjectPath(const QString &pluginName);
    /*! The bus name of an object of \a pluginName (blanks become "-"). */
    static QString sourceServiceName(const QString &pluginName, const QString &uuid);
    static QString rendererServiceName(const QString &pluginName, const QString &uuid);
    static QString sourceObjectPath(const QString &uuid);
    static QString rendererObjectPath(const QString &uuid);
    /*! Where a client receives the results of its browses and queries on source \a uuid. */
    static QString proxySourceObjectPath(const QString &sourceUuid);

    /*!
     * Reads a bus name of the scheme: kind, name (uuid or plugin name) and bus name of
     * the object it names; an invalid info for any other name.
     */
    static TuvoClientObjectInfo parseServiceName(const QString &busName);
    /*!
     * Reads the kind and uuid from the object path of a source or renderer; the name is
     * empty for any other path. A path says nothing of the bus name, so the info is
     * never valid().
     */
    static TuvoClientObjectInfo parseObjectPath(const QString &path);
};

#endif
