#ifndef TUVOCLIWATCHCOMMAND_H
#define TUVOCLIWATCHCOMMAND_H

#include "TuvoCliCommand.h"

#include <QDBusMessage>
#include <QList>

/*!
 * watch: a snapshot of what exists, then one line per event as it happens: objects
 * appearing and vanishing, hello signals, and every signal of every published object
 * (or of TARGET, or one PROPERTY of it). Follows new wrapper processes as they come;
 * ends only when interrupted, with status 0.
 */
class TuvoCliWatchCommand : public TuvoCliCommand
{
    Q_OBJECT
public:
    TuvoCliWatchCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                        TuvoCliOutput *output, QObject *parent = nullptr);

    void start() override;
    void interrupt(int count) override;

private Q_SLOTS:
    void handleSignal(const QDBusMessage &message);

private:
    void follow();
    bool wanted(const TuvoClientObjectInfo &object) const;
    void printObjectEvent(const QString &event, const TuvoClientObjectInfo &object);
    void printSignal(const QDBusMessage &message);
    void printValue(const QString &event, const TuvoClientObjectInfo &object, const QString &property,
                    const QVariant &value);
    void emitLine(const QString &event, const TuvoClientObjectInfo &object, const QString &details,
                  QJsonObject json);

    TuvoClientObjectInfo m_target;
    QString m_property;
    bool m_following = false;
    QList<QDBusMessage> m_early;
};

#endif
