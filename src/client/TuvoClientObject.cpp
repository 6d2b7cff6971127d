#include "TuvoClientObject.h"

#include "TuvoClientLogging.h"

#include <TuvoBusNames.h>
#include <TuvoDBusValue.h>

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

TuvoClientObject::TuvoClientObject(const TuvoClientObjectInfo &info, const QDBusConnection &connection,
                                   const QString &ownInterface, QObject *parent)
    : QObject(parent)
    , m_info(info)
    , m_connection(connection)
    , m_ownInterface(ownInterface)
{
    subscribe(ownInterface);
    subscribe(QLatin1String(TuvoBusNames::ExtensionInterface));
    if (!info.owner.isEmpty()) {
        m_ownerWatcher = new QDBusServiceWatcher(info.owner, m_connection,
                                                 QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_ownerWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
                &TuvoClientObject::handleOwnerGone);
    }
}

TuvoClientObject::~TuvoClientObject() = default;

QString TuvoClientObject::destination() const
{
    return m_info.owner.isEmpty() ? m_info.busName : m_info.owner;
}

void TuvoClientObject::subscribe(const QString &interface)
{
    // Only the owner's signals: another process that takes the name later is another object.
    if (!m_connection.connect(destination(), m_info.objectPath(), interface, QString(), this,
                              SLOT(handleBusSignal(QDBusMessage))))
        qCWarning(lcTuvoClient) << "cannot follow the signals of" << m_info.busName << interface;
}

TuvoClientError TuvoClientObject::errorFor(const QDBusMessage &reply) const
{
    return TuvoClientError::fromDBus(QDBusError(reply), m_info.busName, m_timeout);
}

void TuvoClientObject::callMethod(const QString &interface, const QString &method,
                                  const QVariantList &arguments, const QString &replySignature,
                                  const ReplyHandler &handler)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(destination(), m_info.objectPath(), interface, method);
    call.setArguments(arguments);
    const QDBusPendingCall pending = m_connection.asyncCall(call, m_timeout);
    auto *watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, handler, method, replySignature](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                TuvoClientError error;
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    error = errorFor(reply);
                } else if (reply.signature() != replySignature) {
                    error = TuvoClientError(
                        TuvoClientError::Malformed,
                        QStringLiteral("%1 answered %2 with the signature \"%3\" instead of \"%4\"")
                            .arg(m_info.busName, method, reply.signature(), replySignature),
                        m_info.busName);
                }
                if (handler)
                    handler(error, reply);
            });
}

void TuvoClientObject::getProperty(const QString &name, const ValueHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::ExtensionInterface), QStringLiteral("get_extension_property"),
               {name}, QStringLiteral("sv"),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (!handler)
                       return;
                   if (error.isError())
                       handler(error, QVariant());
                   else
                       handler(error, TuvoDBusValue::plain(reply.arguments().value(1)));
               });
}

void TuvoClientObject::setProperty(const QString &name, const QVariant &value,
                                   const ErrorHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::ExtensionInterface), QStringLiteral("set_extension_property"),
               {name, QVariant::fromValue(QDBusVariant(value))}, QStringLiteral("b"),
               [this, handler, name, value](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (!handler)
                       return;
                   if (!error.isError() && !reply.arguments().value(0).toBool()) {
                       handler(TuvoClientError(TuvoClientError::Refused,
                                               QStringLiteral("%1 did not accept the value %2 for \"%3\"")
                                                   .arg(m_info.busName, value.toString(), name),
                                               m_info.busName));
                       return;
                   }
                   handler(error);
               });
}

void TuvoClientObject::getName(const TextHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::ExtensionInterface), QStringLiteral("get_name"), {},
               QStringLiteral("s"),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (handler)
                       handler(error, error.isError() ? QString() : reply.arguments().value(0).toString());
               });
}

void TuvoClientObject::handleBusSignal(const QDBusMessage &message)
{
    QVariantList arguments = message.arguments();
    for (QVariant &argument : arguments)
        argument = TuvoDBusValue::plain(argument);
    const QString interface = message.interface();
    const QString member = message.member();
    const QString signature = message.signature();
    Q_EMIT signalReceived(interface, member, arguments);
    if (interface == QLatin1String(TuvoBusNames::ExtensionInterface)) {
        if (member == QLatin1String("property_changed") && signature == QLatin1String("sv"))
            Q_EMIT propertyChanged(arguments.at(0).toString(), arguments.at(1));
        else
            qCWarning(lcTuvoClient) << "unexpected signal" << member << signature << "from" << m_info.busName;
    } else if (interface == m_ownInterface && !dispatchSignal(member, signature, arguments)) {
        qCWarning(lcTuvoClient) << "unexpected signal" << member << signature << "from" << m_info.busName;
    }
}

void TuvoClientObject::handleOwnerGone()
{
    Q_EMIT vanished();
}
