#ifndef TUVOMEDIAOBJECT_H
#define TUVOMEDIAOBJECT_H

#include "TuvoCallback.h"
#include "TuvoFrameworkGlobal.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

/*!
 * What sources and renderers have in common: identity and extension properties.
 *
 * Identity: uuid() identifies the object within the process and forms the last element
 * of its bus name and object path, so it should use only letters, digits and "_".
 * pluginName() is the name of the plugin that made it, name() its display name.
 *
 * Extension properties are named values a client may read, write and watch. A
 * subclass either overrides setExtensionProperty() and requestExtensionProperty(), or
 * declares its properties with declareProperty() and lets the built-in store answer:
 * writes are type-checked and announced with tuvoPropertyChanged(), reads are
 * answered inside the call.
 */
class TUVO_FRAMEWORK_EXPORT TuvoMediaObject : public QObject
{
    Q_OBJECT
public:
    TuvoMediaObject(const QString &uuid, const QString &pluginName, const QString &name,
                    QObject *parent = nullptr);
    ~TuvoMediaObject() override;

    QString uuid() const { return m_uuid; }
    QString pluginName() const { return m_pluginName; }
    QString name() const { return m_name; }

    /*! Writes a property; true when the object accepted the value. */
    virtual bool setExtensionProperty(const QString &name, const QVariant &value);
    /*!
     * Starts reading a property. The answer goes to \a member on \a receiver, a slot
     * taking (QString name, QVariant value); an invalid value means the property could
     * not be read. Returns false, and answers nothing, when the read cannot start.
     */
    virtual bool requestExtensionProperty(const QString &name, QObject *receiver,
                                          const char *member);

    /*! Resolves the answer slot of requestExtensionProperty(). */
    static TuvoCallback propertyCallback(QObject *receiver, const char *member)
    {
        return TuvoCallback::resolve<QString, QVariant>(receiver, member);
    }

    /*! The names of the properties declared with declareProperty(). */
    QStringList declaredProperties() const;
    /*! The current value of a declared property; invalid when not declared. */
    QVariant declaredPropertyValue(const QString &name) const;

Q_SIGNALS:
    void tuvoPropertyChanged(const QString &name, const QVariant &value);

protected:
    /*!
     * Declares a property for the built-in store with its initial value, whose type is
     * the property's type. Writes are refused for read-only properties and for values
     * that do not convert to that type without loss: an int property takes the uint 55,
     * the double 55.0 and the string "55", but not 55.5, 4294967295u or "loud"; a bool
     * property takes "true" but not "no".
     */
    void declareProperty(const QString &name, const QVariant &initialValue, bool writable = true);
    /*!
     * Sets a declared property from the object's own code (writable or not) and emits
     * tuvoPropertyChanged() when the value changed. Returns false for unknown names.
     */
    bool updateDeclaredProperty(const QString &name, const QVariant &value);
    /*!
     * Called before a client's write of a declared property is stored; returning false
     * refuses the write. \a value has the property's type already.
     */
    virtual bool acceptPropertyWrite(const QString &name, const QVariant &value);

private:
    struct Property {
        QVariant value;
        bool writable = true;
    };
    QString m_uuid;
    QString m_pluginName;
    QString m_name;
    QHash<QString, Property> m_properties;
};

#endif
