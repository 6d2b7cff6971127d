#include "TuvoMediaObject.h"

#include "TuvoPropertyConversion.h"

TuvoMediaObject::TuvoMediaObject(const QString &uuid, const QString &pluginName,
                                 const QString &name, QObject *parent)
    : QObject(parent)
    , m_uuid(uuid)
    , m_pluginName(pluginName)
    , m_name(name)
{
}

TuvoMediaObject::~TuvoMediaObject() = default;

bool TuvoMediaObject::setExtensionProperty(const QString &name, const QVariant &value)
{
    auto it = m_properties.find(name);
    if (it == m_properties.end() || !it->writable || !value.isValid())
        return false;
    QVariant converted = value;
    const QMetaType type = it->value.metaType();
    if (!TuvoPropertyConversion::convertExactly(converted, type))
        return false;
    if (!acceptPropertyWrite(name, converted))
        return false;
    return updateDeclaredProperty(name, converted);
}

bool TuvoMediaObject::requestExtensionProperty(const QString &name, QObject *receiver,
                                               const char *member)
{
    const TuvoCallback answer = propertyCallback(receiver, member);
    if (!answer.isValid() || !m_properties.contains(name))
        return false;
    answer.invoke(name, m_properties.value(name).value);
    return true;
}

QStringList TuvoMediaObject::declaredProperties() const
{
    QStringList names = m_properties.keys();
    names.sort();
    return names;
}

QVariant TuvoMediaObject::declaredPropertyValue(const QString &name) const
{
    return m_properties.value(name).value;
}

void TuvoMediaObject::declareProperty(const QString &name, const QVariant &initialValue,
                                      bool writable)
{
    m_properties.insert(name, Property{initialValue, writable});
}

bool TuvoMediaObject::updateDeclaredProperty(const QString &name, const QVariant &value)
{
    auto it = m_properties.find(name);
    if (it == m_properties.end())
        return false;
    if (it->value == value && it->value.metaType() == value.metaType())
        return true;
    it->value = value;
    Q_EMIT tuvoPropertyChanged(name, value);
    return true;
}

bool TuvoMediaObject::acceptPropertyWrite(const QString &, const QVariant &)
{
    return true;
}
