#ifndef TESTPROPERTYHOST_H
#define TESTPROPERTYHOST_H

#include <QDBusVariant>
#include <QMap>
#include <QObject>
#include <QStringList>
#include <QVariantList>

class TuvoMediaObject;

/*!
 * The extension properties of one test source or renderer, steered by a test from
 * outside the wrapper process through a control object at
 * "/com/oxbel/tuvo/test/properties/<uuid>" (interface "com.oxbel.tuvo.test.Properties")
 * on the wrapper's own connection.
 *
 * Every write that reaches the object is recorded and answered with the configured
 * result (accept by default). Reads are answered inside the call with the value given
 * by set_value(), an invalid one when none was given. How the adaptor meets reads that
 * are kept, refused or unsendable is tested with objects of the tests' own.
 */
class TestPropertyHost : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.oxbel.tuvo.test.Properties")
public:
    /*! Becomes a child of \a object and publishes its control object. */
    explicit TestPropertyHost(TuvoMediaObject *object);
    ~TestPropertyHost() override;

    bool setExtensionProperty(const QString &name, const QVariant &value);
    bool requestExtensionProperty(const QString &name, QObject *receiver, const char *member);

public Q_SLOTS:
    void set_write_result(bool accept) { m_writeResult = accept; }
    /*! The writes that reached the object, oldest first: names, and values in \a values. */
    QStringList writes(QVariantList &values) const;
    void set_value(const QString &name, const QDBusVariant &value) { m_values.insert(name, value.variant()); }
    void emit_change(const QString &name, const QDBusVariant &value);

private:
    TuvoMediaObject *m_object;
    QString m_path;
    bool m_published = false;
    bool m_writeResult = true;
    QStringList m_writtenNames;
    QVariantList m_writtenValues;
    QMap<QString, QVariant> m_values;
};

#endif
