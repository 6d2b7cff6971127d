#ifndef TESTPROPERTYHOST_H
#define TESTPROPERTYHOST_H

#include <TuvoCallback.h>

#include <QDBusVariant>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantList>

class TuvoMediaObject;

/*!
 * The extension properties of one test source or renderer, steered by a test from
 * outside the wrapper process through a control object at ControlPathPrefix + uuid
 * (interface "com.oxbel.tuvo.test.Properties") on the wrapper's own connection.
 *
 * Writes: every write that reaches the object is recorded and answered with the
 * configured result (accept by default).
 *
 * Reads, by mode (set_read_mode):
 *   "now"        answer inside the call with the value given by set_value() (invalid
 *                when none was given); the default
 *   "later"      keep the request until answer() or answer_invalid()
 *   "invalid"    answer inside the call with an invalid value
 *   "unsendable" answer inside the call with a value D-Bus cannot carry
 *   "refuse"     refuse the request
 *   "answer-then-refuse"  answer inside the call as "now" does, then refuse all the
 *                same, as a confused plugin might
 * Every request that reaches the object is recorded by name, whatever the mode.
 *
 * emit_change() makes the object announce a property change.
 */
class TestPropertyHost : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Properties")
public:
    static const char *const ControlPathPrefix;

    /*! Becomes a child of \a object and publishes its control object. */
    explicit TestPropertyHost(TuvoMediaObject *object);
    ~TestPropertyHost() override;

    bool setExtensionProperty(const QString &name, const QVariant &value);
    bool requestExtensionProperty(const QString &name, QObject *receiver, const char *member);

public Q_SLOTS:
    void set_write_result(bool accept);
    /*! The writes that reached the object, oldest first: names, and values in \a values. */
    QStringList writes(QVariantList &values) const;
    /*! False for an unknown mode, which leaves the mode as it was. */
    bool set_read_mode(const QString &mode);
    void set_value(const QString &name, const QDBusVariant &value);
    /*! The names the object was asked to read, oldest first. */
    QStringList requests() const;
    /*! Answers the kept requests for \a name; returns how many reached their receiver. */
    int answer(const QString &name, const QDBusVariant &value);
    int answer_invalid(const QString &name);
    void emit_change(const QString &name, const QDBusVariant &value);
    /*! Back to accepting writes and answering reads at once; forgets everything. */
    void reset();

private:
    enum ReadMode { Now, Later, Invalid, Unsendable, Refuse, AnswerThenRefuse };
    int answerKept(const QString &name, const QVariant &value);

    TuvoMediaObject *m_object;
    QString m_path;
    bool m_published = false;
    bool m_writeResult = true;
    ReadMode m_readMode = Now;
    QStringList m_writtenNames;
    QVariantList m_writtenValues;
    QStringList m_requests;
    QMap<QString, QVariant> m_values;
    QMultiMap<QString, TuvoCallback> m_kept;
};

#endif
