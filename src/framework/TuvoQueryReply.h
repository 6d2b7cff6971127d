#ifndef TUVOQUERYREPLY_H
#define TUVOQUERYREPLY_H

#include "TuvoCallback.h"
#include "TuvoFrameworkGlobal.h"

#include <QStringList>

/*!
 * The answer channel of one query: the result slot
 * (uint queryId, QStringList row, uint index, int remaining) and the error slot
 * (uint queryId, int code, QString message) of the receiver that TuvoSource::query()
 * was given. The last row has remainingCount 0; an error ends the query instead.
 */
class TUVO_FRAMEWORK_EXPORT TuvoQueryReply
{
public:
    TuvoQueryReply() = default;
    TuvoQueryReply(uint queryId, QObject *receiver, const char *resultMember,
                   const char *errorMember);

    bool isValid() const { return m_id != 0 && m_result.isValid() && m_error.isValid(); }
    bool isAlive() const { return isValid() && m_result.isAlive(); }
    uint id() const { return m_id; }

    bool sendResult(const QStringList &row, uint index, int remainingCount) const;
    bool sendError(int code, const QString &message) const;

private:
    uint m_id = 0;
    TuvoCallback m_result;
    TuvoCallback m_error;
};

#endif
