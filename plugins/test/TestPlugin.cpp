#include "TestPlugin.h"

#include "TestPluginControl.h"

const char *const TestPlugin::DefaultObjects =
    "source:test_source:Test Plugin:Test Source;renderer:test_renderer:Test Plugin:Test Renderer";

bool TestPlugin::initialize(TuvoInternalRegistry *registry)
{
    if (qgetenv("TUVO_TEST_PLUGIN_FAIL") == "1")
        return false;
    delete m_control;
    m_control = new TestPluginControl(registry, this);
    m_control->publish();
    const QByteArray objects = qEnvironmentVariableIsSet("TUVO_TEST_PLUGIN_OBJECTS")
                                   ? qgetenv("TUVO_TEST_PLUGIN_OBJECTS")
                                   : QByteArray(DefaultObjects);
    return m_control->addObjects(QString::fromUtf8(objects));
}

void TestPlugin::deinitialize()
{
    if (!m_control)
        return;
    m_control->withdrawAll();
    delete m_control;
    m_control = nullptr;
}
