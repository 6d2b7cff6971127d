#ifndef TUVOCLIENTERROR_H
#define TUVOCLIENTERROR_H

#include "TuvoClientGlobal.h"

#include <QMetaType>
#include <QString>

class QDBusError;

/*!
 * What went wrong with a request, sorted so that a caller can react without parsing
 * texts: a service that did not answer is a Timeout, one that is not (or no longer)
 * on the bus NotFound, an error the source or renderer reported itself Remote (with
 * its code), anything else on the bus DBusFailure. message() is a readable sentence
 * that names the service concerned.
 */
class TUVO_CLIENT_EXPORT TuvoClientError
{
public:
    enum Type {
        NoError = 0,
        Timeout,     //!< the service did not answer within the time-out
        NotFound,    //!< no such plugin, source, renderer or object, or it left the bus
        Ambiguous,   //!< a name matched more than one object
        Refused,     //!< the service declined the request (org.freedesktop.DBus.Error.Failed, id 0, false)
        Remote,      //!< the source or renderer reported an error; see code()
        Cancelled,   //!< the operation was cancelled, by this client or by the renderer
        Malformed,   //!< the service sent something the interface does not allow
        DBusFailure, //!< any other failure of the bus or the connection
    };

    TuvoClientError() = default;
    TuvoClientError(Type type, const QString &message, const QString &service = QString(),
                    int code = 0, const QString &dbusName = QString());

    /*! Classifies a failed call to \a service made with a time-out of \a timeoutMs. */
    static TuvoClientError fromDBus(const QDBusError &error, const QString &service, int timeoutMs);

    bool isError() const { return m_type != NoError; }
    Type type() const { return m_type; }
    QString message() const { return m_message; }
    QString service() const { return m_service; }
    /*! The code a source or renderer reported (Remote), otherwise 0. */
    int code() const { return m_code; }
    /*! The D-Bus error name when the error came as a D-Bus error reply. */
    QString dbusName() const { return m_dbusName; }

    /*! "2 s", "1.5 s": how time-outs are named in messages. */
    static QString formatSeconds(int milliseconds);
    static QString typeName(Type type);

private:
    Type m_type = NoError;
    QString m_message;
    QString m_service;
    int m_code = 0;
    QString m_dbusName;
};

Q_DECLARE_METATYPE(TuvoClientError)

#endif
