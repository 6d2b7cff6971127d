#ifndef TUVOBROWSEREPLY_H
#define TUVOBROWSEREPLY_H

#include "TuvoCallback.h"
#include "TuvoFrameworkGlobal.h"

#include <QVariantMap>

/*!
 * The answer channel of one browse: the result slot
 * (uint browseId, QString objectId, QVariantMap metadata, uint index, int remaining)
 * and the error slot (uint browseId, uint code, QString message) of the receiver that
 * TuvoSource::browse() was given.
 *
 * A browse delivers its results one by one; the last one has remainingCount 0. An
 * error ends the browse instead. A source keeps one TuvoBrowseReply per running browse
 * and forgets it once the browse has ended or was cancelled.
 */
class TUVO_FRAMEWORK_EXPORT TuvoBrowseReply
{
public:
    TuvoBrowseReply() = default;
    TuvoBrowseReply(uint browseId, QObject *receiver, const char *resultMember,
                    const char *errorMember);

    /*! True when both slots exist on the receiver with the expected parameters. */
    bool isValid() const { return m_id != 0 && m_result.isValid() && m_error.isValid(); }
    /*! True while the receiver exists; a vanished receiver means nobody listens. */
    bool isAlive() const { return isValid() && m_result.isAlive(); }
    uint id() const { return m_id; }

    bool sendResult(const QString &objectId, const QVariantMap &metaData, uint index,
                    int remainingCount) const;
    bool sendError(uint code, const QString &message) const;

private:
    uint m_id = 0;
    TuvoCallback m_result;
    TuvoCallback m_error;
};

#endif
