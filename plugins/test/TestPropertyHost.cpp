#include "TestPropertyHost.h"

#include <TuvoMediaObject.h>

#include <QDBusConnection>
#include <QDebug>

TestPropertyHost::TestPropertyHost(TuvoMediaObject *object)
    : QObject(object)
    , m_object(object)
    , m_path(QStringLiteral("/com/oxbel/tuvo/test/properties/") + object->uuid())
{
    m_published = QDBusConnection::sessionBus().registerObject(m_path, this,
                                                              QDBusConnection::ExportAllSlots);
    if (!m_published)
        qWarning() << "test plugin: cannot publish the property control object" << m_path;
}

TestPropertyHost::~TestPropertyHost()
{
    // Only our own registration: an object refused for a taken uuid must not withdraw
    // the control object of the one that holds it.
    if (m_published)
        QDBusConnection::sessionBus().unregisterObject(m_path);
}

bool TestPropertyHost::setExtensionProperty(const QString &name, const QVariant &value)
{
    m_writtenNames.append(name);
    m_writtenValues.append(value);
    return m_writeResult;
}

bool TestPropertyHost::requestExtensionProperty(const QString &name, QObject *receiver,
                                                const char *member)
{
    return TuvoMediaObject::propertyCallback(receiver, member).invoke(name, m_values.value(name));
}

QStringList TestPropertyHost::writes(QVariantList &values) const
{
    values = m_writtenValues;
    return m_writtenNames;
}

void TestPropertyHost::emit_change(const QString &name, const QDBusVariant &value)
{
    Q_EMIT m_object->tuvoPropertyChanged(name, value.variant());
}
