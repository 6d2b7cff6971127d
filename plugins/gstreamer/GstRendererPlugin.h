#ifndef GSTRENDERERPLUGIN_H
#define GSTRENDERERPLUGIN_H

#include <TuvoPlugin.h>

#include <QObject>

class TuvoInternalRegistry;

/*! The GStreamer plugin: one GstRenderer, configured from GstRendererConfig. */
class GstRendererPlugin : public QObject, public TuvoPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TuvoPlugin_iid)
    Q_INTERFACES(TuvoPlugin)
public:
    bool initialize(TuvoInternalRegistry *registry) override;
    void deinitialize() override;

private:
    TuvoInternalRegistry *m_registry = nullptr;
};

#endif
