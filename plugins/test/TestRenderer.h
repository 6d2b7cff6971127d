#ifndef TESTRENDERER_H
#define TESTRENDERER_H

#include "TestPropertyHost.h"

#include <TuvoRenderer.h>

/*! A renderer of the test plugin. */
class TestRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TestRenderer() override;

    // Extension properties are steered by the test through TestPropertyHost.
    bool setExtensionProperty(const QString &name, const QVariant &value) override
    {
        return m_propertyHost->setExtensionProperty(name, value);
    }
    bool requestExtensionProperty(const QString &name, QObject *receiver,
                                  const char *member) override
    {
        return m_propertyHost->requestExtensionProperty(name, receiver, member);
    }

private:
    TestPropertyHost *m_propertyHost = new TestPropertyHost(this);
};

#endif
