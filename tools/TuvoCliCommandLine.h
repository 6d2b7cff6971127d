#ifndef TUVOCLICOMMANDLINE_H
#define TUVOCLICOMMANDLINE_H

#include "TuvoCliCommandTable.h"

#include <QMap>
#include <QStringList>

/*!
 * A tuvo-client command line read against the command table: the verb, its
 * positional arguments and the options given. Options may stand anywhere, as
 * --name VALUE, --name=VALUE, -x VALUE or -xVALUE; "--" ends them. Arguments that
 * look like negative numbers ("-10") are arguments, not options.
 */
class TuvoCliCommandLine
{
public:
    /*! Reads \a arguments (without the program name); false with error() on a usage error. */
    bool parse(const QStringList &arguments);

    QString error() const { return m_error; }
    /*! The verb, or empty when only --help or --version was asked for. */
    QString verb() const { return m_verb; }
    /*! What the verb does, from the command table; Help when there is no verb. */
    TuvoCliCommandTable::Action action() const;
    QStringList arguments() const { return m_arguments; }
    QString argument(int index) const { return m_arguments.value(index); }

    bool isSet(const QString &option) const { return m_values.contains(option); }
    /*! The option's value, or its default from the table. */
    QString value(const QString &option) const;

    bool helpRequested() const { return isSet(QStringLiteral("help")) || action() == TuvoCliCommandTable::Action::Help; }
    /*! The verb whose help was asked for; empty for the general help. */
    QString helpVerb() const;
    bool versionRequested() const { return isSet(QStringLiteral("version")); }
    bool json() const { return isSet(QStringLiteral("json")); }
    /*! --timeout in milliseconds. */
    int timeoutMs() const { return m_timeoutMs; }

private:
    bool fail(const QString &text);
    bool failUnknownVerb(const QString &verb);
    bool checkValues();

    QString m_error;
    QString m_verb;
    QStringList m_arguments;
    QMap<QString, QString> m_values;
    int m_timeoutMs = 0;
};

#endif
