#include "TuvoContent.h"

#include "TuvoCallback.h"

TuvoContent::TuvoContent(const QString &uuid)
    : m_uuid(uuid)
{
}

TuvoContent::TuvoContent(const QString &uuid, const QVariantMap &metaData)
    : m_uuid(uuid)
    , m_metaData(metaData)
{
}

bool TuvoContent::setMetaData(const QVariantMap &metaData, QObject *receiver, const char *member)
{
    if (!receiver) {
        m_metaData = metaData;
        return true;
    }
    const TuvoCallback done = TuvoCallback::resolve<>(receiver, member);
    if (!done.isValid())
        return false;
    m_metaData = metaData;
    done.invoke();
    return true;
}

bool TuvoContent::operator==(const TuvoContent &other) const
{
    return m_uuid == other.m_uuid && m_metaData == other.m_metaData;
}
