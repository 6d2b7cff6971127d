#ifndef TUVOPLUGIN_H
#define TUVOPLUGIN_H

#include <QtPlugin>

class TuvoInternalRegistry;

/*!
 * The interface a plugin library implements, as a Qt plugin:
 *
 * \code
 * class MyPlugin : public QObject, public TuvoPlugin
 * {
 *     Q_OBJECT
 *     Q_PLUGIN_METADATA(IID TuvoPlugin_iid)
 *     Q_INTERFACES(TuvoPlugin)
 * public:
 *     bool initialize(TuvoInternalRegistry *registry) override;
 *     void deinitialize() override;
 * };
 * \endcode
 *
 * initialize() creates the plugin's sources and renderers and hands each to the
 * registry (TuvoInternalRegistry::addSource(), addRenderer()), which takes ownership
 * and reports it; returning false means the plugin cannot run and makes loading fail.
 * The plugin may add and remove objects later too, as its collection changes.
 *
 * deinitialize() withdraws them again (removeSource(), removeRenderer()); the registry
 * reports each removal and deletes the object. Objects a plugin leaves behind are
 * withdrawn by the registry after deinitialize() returns.
 */
class TuvoPlugin
{
public:
    virtual ~TuvoPlugin() = default;
    virtual bool initialize(TuvoInternalRegistry *registry) = 0;
    virtual void deinitialize() = 0;
};

#define TuvoPlugin_iid "com.oxbel.tuvo.Plugin/1.0"
Q_DECLARE_INTERFACE(TuvoPlugin, TuvoPlugin_iid)

#endif
