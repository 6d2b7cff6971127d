#include "TuvoExtensionAdaptor.h"

#include <TuvoRenderer.h>
#include <TuvoSource.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDebug>

namespace {
// The answer slot handed to the object, as SLOT() spells it.
const char *const AnswerMember = "1respondPropertyRequest(QString,QVariant)";
const QString FailedText = QStringLiteral("failed to get property");

// The object served: the constructors set exactly one of the two.
TuvoMediaObject *servedObject(TuvoRenderer *renderer, TuvoSource *source)
{
    if (renderer)
        return renderer;
    return source;
}
} // namespace

TuvoExtensionAdaptor::TuvoExtensionAdaptor(TuvoSource *source)
    : QDBusAbstractAdaptor(source)
    , source(source)
{
    connect(source, &TuvoMediaObject::tuvoPropertyChanged, this,
            &TuvoExtensionAdaptor::emitPropertyChange);
}

TuvoExtensionAdaptor::TuvoExtensionAdaptor(TuvoRenderer *renderer)
    : QDBusAbstractAdaptor(renderer)
    , renderer(renderer)
{
    connect(renderer, &TuvoMediaObject::tuvoPropertyChanged, this,
            &TuvoExtensionAdaptor::emitPropertyChange);
}

// Calls still waiting are dropped unanswered; their callers' own time-outs end them.
TuvoExtensionAdaptor::~TuvoExtensionAdaptor() = default;

bool TuvoExtensionAdaptor::set_extension_property(const QString &property,
                                                  const QDBusVariant &value)
{
    const QVariant variant = value.variant();
    if (property.isEmpty() || !variant.isValid())
        return false;
    const QByteArray type = QByteArrayLiteral("QVariant::") + variant.typeName();
    qDebug() << "TuvoExtensionAdaptor::set_extension_property" << property << type.constData()
             << variant.toString();
    TuvoMediaObject *object = servedObject(renderer, source);
    return object && object->setExtensionProperty(property, variant);
}

void TuvoExtensionAdaptor::get_extension_property(const QString &property,
                                                  const QDBusMessage &message)
{
    qDebug() << "TuvoExtensionAdaptor::get_extension_property" << property;
    message.setDelayedReply(true);
    pendingPropertyRequests.insert(property, message);
    // A read of this name is already under way; its answer serves this call too.
    if (pendingPropertyRequests.count(property) > 1)
        return;

    TuvoMediaObject *object = servedObject(renderer, source);
    if (object && object->requestExtensionProperty(property, this, AnswerMember))
        return;
    // An object that answered inside the call and then refused has replied already.
    if (!pendingPropertyRequests.contains(property))
        return;
    pendingPropertyRequests.remove(property);
    refusePropertyRequest(property, message);
}

void TuvoExtensionAdaptor::refusePropertyRequest(const QString &property,
                                                 const QDBusMessage &message)
{
    // The call keeps its delayed-reply mark: this error is its one and only reply.
    // Without the mark the bus library would follow it with an empty reply of its own.
    const QDBusMessage error = message.createErrorReply(QDBusError::Failed, FailedText);
    if (!QDBusConnection::sessionBus().send(error))
        qWarning() << "TuvoExtensionAdaptor:" << "Could not reply property request:" << property;
}

QString TuvoExtensionAdaptor::get_name()
{
    QString name;
    if (renderer)
        name = renderer->name();
    else if (source)
        name = source->name();
    return name;
}

void TuvoExtensionAdaptor::emitPropertyChange(const QString &name, const QVariant &value)
{
    Q_EMIT property_changed(name, QDBusVariant(value));
}

void TuvoExtensionAdaptor::respondPropertyRequest(const QString &name, const QVariant &value)
{
    qDebug() << "void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)";
    // Taken out before anything is sent, so that every waiting call is answered once.
    const QList<QDBusMessage> waiting = pendingPropertyRequests.values(name);
    pendingPropertyRequests.remove(name);

    QVariantList arguments{name};
    if (value.isValid())
        arguments.append(QVariant::fromValue(QDBusVariant(value)));
    QDBusConnection bus = QDBusConnection::sessionBus();
    // values() lists the newest call first; callers are answered in the order they asked.
    for (auto it = waiting.crbegin(); it != waiting.crend(); ++it) {
        const QDBusMessage &call = *it;
        const QDBusMessage reply = value.isValid()
                                       ? call.createReply(arguments)
                                       : call.createErrorReply(QDBusError::Failed, FailedText);
        if (bus.send(reply))
            continue;
        qWarning() << "TuvoExtensionAdaptor:" << "Could not reply property request:" << name
                   << value;
        // A value the bus cannot carry (a type without a D-Bus form) would leave the
        // caller waiting for its time-out; it learns at once that the read failed.
        if (value.isValid()
            && !bus.send(call.createErrorReply(QDBusError::Failed, FailedText)))
            qWarning() << "TuvoExtensionAdaptor:" << "Could not reply property request:" << name;
    }
}
