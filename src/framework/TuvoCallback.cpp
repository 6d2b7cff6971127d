#include "TuvoCallback.h"

#include "TuvoFrameworkLogging.h"

#include <QMetaMethod>

QByteArray TuvoCallback::normalizedMember(const char *member)
{
    if (!member || !*member)
        return QByteArray();
    // SLOT() and SIGNAL() put '1' or '2' in front of the signature.
    if (*member == '1' || *member == '2')
        ++member;
    return QMetaObject::normalizedSignature(member);
}

TuvoCallback::TuvoCallback(QObject *receiver, const char *member, const QList<QMetaType> &types)
    : m_receiver(receiver)
    , m_signature(normalizedMember(member))
    , m_types(types)
{
    if (!receiver || m_signature.isEmpty()) {
        qCWarning(lcTuvoFramework) << "callback without receiver or member" << m_signature;
        return;
    }
    const QMetaObject *meta = receiver->metaObject();
    const int index = meta->indexOfMethod(m_signature.constData());
    if (index < 0) {
        qCWarning(lcTuvoFramework) << "callback" << m_signature << "not found on"
                                   << meta->className();
        return;
    }
    const QMetaMethod method = meta->method(index);
    if (method.methodType() != QMetaMethod::Slot && method.methodType() != QMetaMethod::Method) {
        qCWarning(lcTuvoFramework) << "callback" << m_signature << "is not a slot of"
                                   << meta->className();
        return;
    }
    if (method.parameterCount() != types.size()) {
        qCWarning(lcTuvoFramework) << "callback" << m_signature << "takes"
                                   << method.parameterCount() << "arguments, expected"
                                   << types.size();
        return;
    }
    for (int i = 0; i < types.size(); ++i) {
        if (method.parameterMetaType(i) != types.at(i)) {
            qCWarning(lcTuvoFramework) << "callback" << m_signature << "argument" << i
                                       << "is" << method.parameterTypeName(i) << "expected"
                                       << types.at(i).name();
            return;
        }
    }
    m_methodIndex = index;
}

bool TuvoCallback::typesMatch(const QList<QMetaType> &types) const
{
    if (!isValid())
        return false;
    if (types != m_types) {
        qCWarning(lcTuvoFramework) << "callback" << m_signature
                                   << "invoked with arguments of other types";
        return false;
    }
    return true;
}

bool TuvoCallback::call(void **argv) const
{
    QObject *receiver = m_receiver.data();
    if (!receiver)
        return false;
    QMetaObject::metacall(receiver, QMetaObject::InvokeMetaMethod, m_methodIndex, argv);
    return true;
}
