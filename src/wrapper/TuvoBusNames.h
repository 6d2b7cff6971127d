#ifndef TUVOBUSNAMES_H
#define TUVOBUSNAMES_H

#include <QString>

/*!
 * The naming scheme of everything the wrapper puts on the bus, and the name of its
 * log file: pure functions of the plugin argument and the objects' identities.
 */
class TuvoBusNames
{
public:
    /*! "libtuvo-sample-plugin" from ".../libtuvo-sample-plugin.so", with "-" as "_". */
    static QString pluginName(const QString &pluginArgument);
    /*! Home + "/" + the argument's file name without any ".so" + ".log". */
    static QString logFilePath(const QString &pluginArgument, const QString &homePath);

    static QString pluginServiceName(const QString &pluginName);
    static QString pluginObjectPath(const QString &pluginName);

    static QString sourceServiceName(const QString &objectPluginName, const QString &uuid);
    static QString sourceObjectPath(const QString &uuid);
    static QString rendererServiceName(const QString &objectPluginName, const QString &uuid);
    static QString rendererObjectPath(const QString &uuid);

    static const char *const PluginService;      // "com.oxbel.tuvo.plugin"
    static const char *const PluginPath;         // "/com/oxbel/tuvo/plugin", also of "new_plugin"
    static const char *const PluginInterface;    // "com.oxbel.tuvo.plugin"
    static const char *const RegistryPath;       // "/com/oxbel/tuvo/registry"
    static const char *const RegistryInterface;  // "com.oxbel.tuvo.registry"
    static const char *const SourceService;      // "com.oxbel.tuvo.source"
    static const char *const SourcePath;         // "/com/oxbel/tuvo/source"
    static const char *const RendererService;    // "com.oxbel.tuvo.renderer"
    static const char *const RendererPath;       // "/com/oxbel/tuvo/renderer"

private:
    static QString lastPathPiece(const QString &pluginArgument);
    static QString pluginPart(const QString &objectPluginName);
};

#endif
