#include "TuvoBrowseReply.h"

TuvoBrowseReply::TuvoBrowseReply(uint browseId, QObject *receiver, const char *resultMember,
                                 const char *errorMember)
    : m_id(browseId)
    , m_result(TuvoCallback::resolve<uint, QString, QVariantMap, uint, int>(receiver, resultMember))
    , m_error(TuvoCallback::resolve<uint, uint, QString>(receiver, errorMember))
{
}

bool TuvoBrowseReply::sendResult(const QString &objectId, const QVariantMap &metaData, uint index,
                                 int remainingCount) const
{
    return m_result.invoke(m_id, objectId, metaData, index, remainingCount);
}

bool TuvoBrowseReply::sendError(uint code, const QString &message) const
{
    return m_error.invoke(m_id, code, message);
}
