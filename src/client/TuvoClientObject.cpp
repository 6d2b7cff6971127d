#include "TuvoClientObject.h"

#include "TuvoClientExtensionInterface.h"
#include "TuvoClientLogging.h"

#include <TuvoBusNames.h>
#include <TuvoDBusValue.h>

#include <QDBusAbstractInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QMetaMethod>
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
    m_extension = makeInterface<TuvoClientExtensionInterface>();
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

void TuvoClientObject::adopt(QDBusAbstractInterface *proxy)
{
    proxy->setTimeout(m_timeout);
    m_interfaces.append(proxy);
}

void TuvoClientObject::setTimeout(int milliseconds)
{
    m_timeout = milliseconds;
    for (QDBusAbstractInterface *proxy : std::as_const(m_interfaces))
        proxy->setTimeout(milliseconds);
}

void TuvoClientObject::watchReply(const QDBusPendingCall &call, const ReplyHandler &handler)
{
    auto *watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, handler](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        TuvoClientError error;
        if (reply.type() == QDBusMessage::ErrorMessage
            && reply.errorName() == QDBusError::errorString(QDBusError::InvalidSignature)) {
            // The proxy checked the answer against the contract.
            error = TuvoClientError(TuvoClientError::Malformed,
                                    QStringLiteral("%1 answered with the wrong signature: %2")
                                        .arg(m_info.busName, reply.errorMessage()),
                                    m_info.busName);
        } else if (reply.type() != QDBusMessage::ReplyMessage) {
            error = errorFor(reply);
        }
        if (handler)
            handler(error, reply);
    });
}

void TuvoClientObject::getProperty(const QString &name, const ValueHandler &handler)
{
    watchReply(m_extension->get_extension_property(name),
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
    watchReply(m_extension->set_extension_property(name, QDBusVariant(value)),
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
    watchReply(m_extension->get_name(),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (handler)
                       handler(error, error.isError() ? QString() : reply.arguments().value(0).toString());
               });
}

bool TuvoClientObject::understands(const QString &interface, const QString &member,
                                   const QString &signature) const
{
    for (const QDBusAbstractInterface *proxy : m_interfaces) {
        if (proxy->interface() != interface)
            continue;
        const QMetaObject *meta = proxy->metaObject();
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() != QMetaMethod::Signal || method.name() != member.toLatin1())
                continue;
            QString expected;
            for (int p = 0; p < method.parameterCount(); ++p)
                expected += QLatin1String(QDBusMetaType::typeToSignature(method.parameterMetaType(p)));
            if (expected == signature)
                return true;
        }
    }
    return false;
}

void TuvoClientObject::handleBusSignal(const QDBusMessage &message)
{
    QVariantList arguments = message.arguments();
    for (QVariant &argument : arguments)
        argument = TuvoDBusValue::plain(argument);
    if (understands(message.interface(), message.member(), message.signature()))
        dispatchSignal(message.interface(), message.member(), arguments);
    else
        qCWarning(lcTuvoClient) << "unexpected signal" << message.member() << message.signature() << "from"
                                << m_info.busName;
    Q_EMIT signalReceived(message.interface(), message.member(), arguments);
}

void TuvoClientObject::dispatchSignal(const QString &interface, const QString &member, const QVariantList &arguments)
{
    if (interface == m_extension->interface() && isSignal(member, &TuvoClientExtensionInterface::property_changed))
        Q_EMIT propertyChanged(arguments.at(0).toString(), arguments.at(1));
}

void TuvoClientObject::handleOwnerGone()
{
    Q_EMIT vanished();
}
