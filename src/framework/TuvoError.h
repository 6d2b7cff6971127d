#ifndef TUVOERROR_H
#define TUVOERROR_H

#include "TuvoFrameworkGlobal.h"

#include <QMetaType>
#include <QString>

/*!
 * An error reported by a renderer: a numeric code and a readable message.
 *
 * A few codes have a meaning for the host: ErrorPlaybackAborted and
 * ErrorPlaylistAborted end every query that is waiting for an answer,
 * ErrorPositionUnavailable ends waiting position queries, ErrorStatusUnavailable
 * waiting status queries. Plugins are free to use other codes for everything else.
 */
class TUVO_FRAMEWORK_EXPORT TuvoError
{
public:
    enum Code : int {
        NoError = 0,
        ErrorPlaybackAborted = 41,
        ErrorPlaylistAborted = 42,
        ErrorResourceNotFound = 100,
        ErrorResourceIsContainer = 101,
        ErrorUnsupportedMedia = 102,
        ErrorResourceUnreadable = 103,
        ErrorPlaybackFailed = 104,
        ErrorPositionUnavailable = 326,
        ErrorStatusUnavailable = 327,
    };

    TuvoError() = default;
    TuvoError(int code, const QString &message)
        : m_code(code)
        , m_message(message)
    {
    }

    int code() const { return m_code; }
    QString message() const { return m_message; }

    bool operator==(const TuvoError &other) const
    {
        return m_code == other.m_code && m_message == other.m_message;
    }

private:
    int m_code = NoError;
    QString m_message;
};

Q_DECLARE_METATYPE(TuvoError)

#endif
