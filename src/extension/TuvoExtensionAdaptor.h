#ifndef TUVOEXTENSIONADAPTOR_H
#define TUVOEXTENSIONADAPTOR_H

#include "TuvoExtensionIntrospection.h"

#include <TuvoBusNames.h>

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QHash>
#include <QString>
#include <QVariant>

class TuvoRenderer;
class TuvoReplyQueue;
class TuvoSource;

/*!
 * The interface "com.oxbel.tuvo.extension" of one source or renderer: clients read and
 * write the object's extension properties, ask for its name and hear its property
 * changes, at the object's own path beside its source or renderer interface.
 *
 * The adaptor is a Qt child of the object it serves and dies with it. Reads are
 * asynchronous on both sides: get_extension_property keeps the call (a delayed reply)
 * until the object answers through respondPropertyRequest(); calls for a name that is
 * already being read wait for that one read instead of asking the object again.
 * Values cross the bus as variants. A written value reaches the object as plain Qt
 * (QVariantMap, QVariantList, QStringList; see TuvoDBusValue), never as a QDBusArgument.
 * A value holding a text with a NUL character is never sent cut: its read fails and its
 * change signal is dropped, with a warning.
 */
class TuvoExtensionAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", TUVO_EXTENSION_INTERFACE)
    Q_CLASSINFO("D-Bus Introspection", TUVO_EXTENSION_INTROSPECTION)
public:
    explicit TuvoExtensionAdaptor(TuvoSource *source);
    explicit TuvoExtensionAdaptor(TuvoRenderer *renderer);
    ~TuvoExtensionAdaptor() override;

Q_SIGNALS:
    void property_changed(const QString &name, const QDBusVariant &value);

public Q_SLOTS:
    bool set_extension_property(const QString &property, const QDBusVariant &value);
    /*! Answered later with (name, value), or with the error "failed to get property". */
    void get_extension_property(const QString &property, const QDBusMessage &message);
    QString get_name();

protected Q_SLOTS:
    void emitPropertyChange(const QString &name, const QVariant &value);
    /*! The object's answer to requestExtensionProperty(); invalid \a value: unreadable. */
    void respondPropertyRequest(const QString &name, const QVariant &value);

private:
    TuvoReplyQueue *queueFor(const QString &property);
    /*! Lets go of the queue of \a property once no call waits in it. */
    void release(const QString &property, TuvoReplyQueue *queue);

    TuvoRenderer *renderer = nullptr;
    TuvoSource *source = nullptr;
    // The get_extension_property calls waiting for the object's answer, by name; a
    // name is here only while calls for it wait.
    QHash<QString, TuvoReplyQueue *> pendingPropertyRequests;
};

#endif
