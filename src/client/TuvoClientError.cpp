#include "TuvoClientError.h"

#include <TuvoRendererWire.h>

#include <QDBusError>

TuvoClientError::TuvoClientError(Type type, const QString &message, const QString &service,
                                 int code, const QString &dbusName)
    : m_type(type)
    , m_message(message)
    , m_service(service)
    , m_code(code)
    , m_dbusName(dbusName)
{
}

QString TuvoClientError::formatSeconds(int milliseconds)
{
    return QString::number(milliseconds / 1000.0, 'g', 6) + QStringLiteral(" s");
}

QString TuvoClientError::typeName(Type type)
{
    switch (type) {
    case NoError:
        return QStringLiteral("no error");
    case Timeout:
        return QStringLiteral("time-out");
    case NotFound:
        return QStringLiteral("not found");
    case Ambiguous:
        return QStringLiteral("ambiguous");
    case Refused:
        return QStringLiteral("refused");
    case Remote:
        return QStringLiteral("remote error");
    case Cancelled:
        return QStringLiteral("cancelled");
    case Malformed:
        return QStringLiteral("malformed");
    case DBusFailure:
        return QStringLiteral("D-Bus failure");
    }
    return QString();
}

TuvoClientError TuvoClientError::fromDBus(const QDBusError &error, const QString &service,
                                          int timeoutMs)
{
    const QString name = error.name();
    switch (error.type()) {
    case QDBusError::NoError:
        return TuvoClientError();
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return TuvoClientError(Timeout,
                               service + QStringLiteral(" did not answer within ")
                                   + formatSeconds(timeoutMs),
                               service, 0, name);
    case QDBusError::ServiceUnknown:
        return TuvoClientError(NotFound, service + QStringLiteral(" is not on the bus"), service, 0,
                               name);
    case QDBusError::UnknownObject:
        return TuvoClientError(NotFound, service + QStringLiteral(" has no such object"), service, 0,
                               name);
    case QDBusError::Failed:
        return TuvoClientError(Refused, service + QStringLiteral(": ") + error.message(), service,
                               0, name);
    case QDBusError::Disconnected:
        return TuvoClientError(DBusFailure, QStringLiteral("not connected to the session bus"),
                               service, 0, name);
    default:
        break;
    }
    if (name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return TuvoClientError(NotFound, service + QStringLiteral(" is not on the bus"), service, 0,
                               name);
    if (name == QLatin1String(TuvoRendererWire::CancelledErrorName))
        return TuvoClientError(Cancelled, service + QStringLiteral(": ") + error.message(), service,
                               0, name);
    return TuvoClientError(DBusFailure,
                           service + QStringLiteral(": ") + name + QStringLiteral(": ")
                               + error.message(),
                           service, 0, name);
}
