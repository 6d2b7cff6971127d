#ifndef INTERFACECONTRACT_H
#define INTERFACECONTRACT_H

#include <QList>
#include <QString>
#include <QStringList>

/*!
 * The members of one D-Bus interface as an introspection document declares them, so
 * that tests can hold code and live objects against the checked-in contract.
 */
class InterfaceContract
{
public:
    struct Member {
        QString kind; // "method" or "signal"
        QString name;
        QStringList inTypes; // a signal's arguments count as in
        QStringList inNames;
        QStringList outTypes;
        QStringList outNames;

        QString inSignature() const { return inTypes.join(QString()); }
        QString outSignature() const { return outTypes.join(QString()); }
        /*! Kind, name and in-arguments: what code can show without running. */
        QString callShape() const;
        /*! The whole member, out-arguments included. */
        QString description() const;
    };

    /*! Parses \a xml (a <node> document) for \a interface; isValid() tells the outcome. */
    static InterfaceContract parse(const QString &xml, const QString &interface);
    static InterfaceContract fromFile(const QString &path, const QString &interface);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QList<Member> members() const { return m_members; }
    /*! Sorted descriptions of every member. */
    QStringList descriptions() const;
    QStringList callShapes() const;
    /*! The first member of \a kind named \a name; null when there is none. */
    const Member *find(const QString &kind, const QString &name) const;

private:
    QList<Member> m_members;
    QString m_error;
};

#endif
