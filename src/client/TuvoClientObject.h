#ifndef TUVOCLIENTOBJECT_H
#define TUVOCLIENTOBJECT_H

#include "TuvoClientError.h"
#include "TuvoClientGlobal.h"
#include "TuvoClientObjectInfo.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QMetaMethod>
#include <QObject>
#include <QVariant>

#include <functional>

class QDBusAbstractInterface;
class QDBusMessage;
class QDBusServiceWatcher;
class TuvoClientExtensionInterface;

/*!
 * What a client's view of a published source or renderer has in common: the calls go
 * to the one process that owned the object's bus name when the view was made (its
 * unique name), never to whoever owns the name later, so a request cannot end up at
 * another object after a restart. Every call has a time-out; the answer comes to a
 * handler, exactly once, unless this object is destroyed first. The extension
 * properties and name of the object are here as well.
 *
 * Signals of the object are followed from construction: propertyChanged() and
 * signalReceived() for every signal of its interfaces; subclasses forward the typed
 * signals of their generated proxies.
 */
class TUVO_CLIENT_EXPORT TuvoClientObject : public QObject
{
    Q_OBJECT
public:
    using ErrorHandler = std::function<void(const TuvoClientError &error)>;
    using ValueHandler = std::function<void(const TuvoClientError &error, const QVariant &value)>;
    using TextHandler = std::function<void(const TuvoClientError &error, const QString &text)>;

    ~TuvoClientObject() override;

    TuvoClientObjectInfo info() const { return m_info; }
    QDBusConnection connection() const { return m_connection; }
    /*! Where calls go: the owner's unique name when known, else the bus name. */
    QString destination() const;

    void setTimeout(int milliseconds);
    int timeout() const { return m_timeout; }

    /*! Reads an extension property; the value comes unwrapped, in its own type. */
    void getProperty(const QString &name, const ValueHandler &handler);
    /*! Writes an extension property; a value the object does not accept is Refused. */
    void setProperty(const QString &name, const QVariant &value, const ErrorHandler &handler = {});
    /*! The object's name() ("Sample Source"). */
    void getName(const TextHandler &handler);

Q_SIGNALS:
    void propertyChanged(const QString &name, const QVariant &value);
    /*! Every signal of the object, its arguments unwrapped (see TuvoDBusValue::plain). */
    void signalReceived(const QString &interface, const QString &member, const QVariantList &arguments);
    /*! The process that published the object left the bus; further calls fail. */
    void vanished();

protected:
    using ReplyHandler = std::function<void(const TuvoClientError &error, const QDBusMessage &reply)>;

    TuvoClientObject(const TuvoClientObjectInfo &info, const QDBusConnection &connection,
                     const QString &ownInterface, QObject *parent);

    /*!
     * A proxy of one of the object's interfaces, generated from its contract: calls to
     * the owner, with this object's time-out. It is a child of this object.
     */
    template<typename Interface>
    Interface *makeInterface()
    {
        auto *proxy = new Interface(destination(), m_info.objectPath(), m_connection, this);
        adopt(proxy);
        return proxy;
    }
    /*!
     * Hands the answer of \a call to \a handler (which may be empty); an answer whose
     * signature is not the one the contract gives is Malformed.
     */
    void watchReply(const QDBusPendingCall &call, const ReplyHandler &handler);
    TuvoClientError errorFor(const QDBusMessage &reply) const;
    /*!
     * A signal of the object whose signature its contract gives, its arguments without
     * D-Bus wrappers: subclasses emit their typed signals from here. Signals arrive
     * through the object's own subscriptions, never through the proxies, so each one is
     * delivered exactly once, whatever name the proxies were aimed at.
     */
    virtual void dispatchSignal(const QString &interface, const QString &member, const QVariantList &arguments);
    /*! Whether \a member is the name of \a signal, a signal of a generated proxy. */
    template<typename Signal>
    static bool isSignal(const QString &member, Signal signal)
    {
        return member.toLatin1() == QMetaMethod::fromSignal(signal).name();
    }

private Q_SLOTS:
    void handleBusSignal(const QDBusMessage &message);
    void handleOwnerGone();

private:
    void subscribe(const QString &interface);
    void adopt(QDBusAbstractInterface *proxy);
    /*! Whether a proxy of \a interface has a signal \a member with that signature. */
    bool understands(const QString &interface, const QString &member, const QString &signature) const;

    TuvoClientObjectInfo m_info;
    QDBusConnection m_connection;
    QString m_ownInterface;
    int m_timeout = TuvoClientDefaults::CallTimeoutMs;
    QDBusServiceWatcher *m_ownerWatcher = nullptr;
    QList<QDBusAbstractInterface *> m_interfaces;
    TuvoClientExtensionInterface *m_extension = nullptr;
};

#endif
