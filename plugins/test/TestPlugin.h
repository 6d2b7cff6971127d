#ifndef TESTPLUGIN_H
#define TESTPLUGIN_H

#include <TuvoPlugin.h>

#include <QObject>

class TestPluginControl;

/*!
 * The test plugin. Its objects at load time come from the environment:
 *
 *   TUVO_TEST_PLUGIN_OBJECTS  "kind:uuid:plugin name:name;..." (default: one source
 *                             "test_source" and one renderer "test_renderer" of the
 *                             plugin "Test Plugin")
 *   TUVO_TEST_PLUGIN_FAIL     "1": initialize() fails, so activation fails
 *
 * While loaded, TestPluginControl lets a test add and withdraw objects.
 */
class TestPlugin : public QObject, public TuvoPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID TuvoPlugin_iid)
    Q_INTERFACES(TuvoPlugin)
public:
    bool initialize(TuvoInternalRegistry *registry) override;
    void deinitialize() override;

    static const char *const DefaultObjects;

private:
    TestPluginControl *m_control = nullptr;
};

#endif
