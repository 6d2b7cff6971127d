#include "TuvoQueryReply.h"

TuvoQueryReply::TuvoQueryReply(uint queryId, QObject *receiver, const char *resultMember,
                               const char *errorMember)
    : m_id(queryId)
    , m_result(TuvoCallback::resolve<uint, QStringList, uint, int>(receiver, resultMember))
    , m_error(TuvoCallback::resolve<uint, int, QString>(receiver, errorMember))
{
}

bool TuvoQueryReply::sendResult(const QStringList &row, uint index, int remainingCount) const
{
    return m_result.invoke(m_id, row, index, remainingCount);
}

bool TuvoQueryReply::sendError(int code, const QString &message) const
{
    return m_error.invoke(m_id, code, message);
}
