#ifndef SAMPLEPLUGIN_H
#define SAMPLEPLUGIN_H

#include <TuvoPlugin.h>

#include <QObject>

/*!
 * The sample plugin: one source and one renderer over a built-in catalogue, and the
 * playlist "sample_favourites" of a few of its tracks.
 */
class SamplePlugin : public QObject, public TuvoPlugin
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
