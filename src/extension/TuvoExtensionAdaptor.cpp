#include "TuvoExtensionAdaptor.h"

#include <TuvoBusText.h>
#include <TuvoDBusValue.h>
#include <TuvoRenderer.h>
#include <TuvoReplyQueue.h>
#include <TuvoSource.h>

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

void logUnsent(const QString &name)
{
    qWarning() << "TuvoExtensionAdaptor:" << "Could not reply property request:" << name;
}

void sendReply(const QDBusMessage &call, const QDBusMessage &reply)
{
    if (TuvoReplyQueue::sendOnSessionBus(reply))
        return;
    const QString name = call.arguments().value(0).toString();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        logUnsent(name);
        return;
    }
    const QVariant value = reply.arguments().value(1).value<QDBusVariant>().variant();
    qWarning() << "TuvoExtensionAdaptor:" << "Could not reply property request:" << name << value;
    // A value the bus cannot carry (a type without a D-Bus form) would leave the caller
    // waiting for its time-out; it learns at once that the read failed.
    if (!TuvoReplyQueue::sendOnSessionBus(call.createErrorReply(QDBusError::Failed, FailedText)))
        logUnsent(name);
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
    // Plugins link Qt Core only: a{sv}, av, ai and structures reach them as QVariantMap
    // and QVariantList, never as a QDBusArgument they could not read.
    const QVariant variant = TuvoDBusValue::plain(value.variant());
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
    // A read of this name that is already under way serves this call too.
    TuvoReplyQueue *queue = queueFor(property);
    queue->add(message);
    release(property, queue);
}

TuvoReplyQueue *TuvoExtensionAdaptor::queueFor(const QString &property)
{
    if (TuvoReplyQueue *queue = pendingPropertyRequests.value(property))
        return queue;
    auto ask = [this, property] {
        TuvoMediaObject *object = servedObject(renderer, source);
        return object && object->requestExtensionProperty(property, this, AnswerMember);
    };
    auto *queue = new TuvoReplyQueue(TuvoReplyQueue::AnswerAll, ask, FailedText, this);
    queue->setSink(&sendReply);
    pendingPropertyRequests.insert(property, queue);
    return queue;
}

void TuvoExtensionAdaptor::release(const QString &property, TuvoReplyQueue *queue)
{
    // Later, not now: the queue may be inside its own request when the object answers
    // within it. A new call for the name meanwhile gets a queue of its own.
    if (queue->isEmpty() && pendingPropertyRequests.value(property) == queue) {
        pendingPropertyRequests.remove(property);
        queue->deleteLater();
    }
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
    // A value the bus cannot carry at all is dropped by the bus library, with its warning.
    if (TuvoBusText::holdsNul(name) || TuvoBusText::holdsNul(value)) {
        qWarning() << "TuvoExtensionAdaptor: property_changed not sent, a text holds a NUL character:" << name;
        return;
    }
    Q_EMIT property_changed(name, QDBusVariant(value));
}

void TuvoExtensionAdaptor::respondPropertyRequest(const QString &name, const QVariant &value)
{
    qDebug() << "void TuvoExtensionAdaptor::respondPropertyRequest(const QString&, const QVariant&)";
    TuvoReplyQueue *queue = pendingPropertyRequests.value(name);
    if (!queue)
        return;
    // A text cut at a NUL would be another value: the read fails instead.
    const bool cut = TuvoBusText::holdsNul(name) || TuvoBusText::holdsNul(value);
    if (cut)
        qWarning() << "TuvoExtensionAdaptor: the value of" << name << "holds a NUL character, the read fails";
    queue->answer([&](const QDBusMessage &call) {
        if (!value.isValid() || cut)
            return call.createErrorReply(QDBusError::Failed, FailedText);
        return call.createReply(QVariantList{name, QVariant::fromValue(QDBusVariant(value))});
    });
    release(name, queue);
}
