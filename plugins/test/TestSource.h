#ifndef TESTSOURCE_H
#define TESTSOURCE_H

#include "TestPropertyHost.h"

#include <TuvoSource.h>

/*! A source of the test plugin. */
class TestSource : public TuvoSource
{
    Q_OBJECT
public:
    TestSource(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TestSource() override;

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
