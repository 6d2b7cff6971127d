#ifndef TUVOCLICOMMAND_H
#define TUVOCLICOMMAND_H

#include "TuvoCliCommandLine.h"

#include <TuvoClientError.h>
#include <TuvoClientObjectInfo.h>

#include <QJsonObject>
#include <QObject>

class TuvoCliOutput;
class TuvoCliSession;

/*!
 * One verb of tuvo-client. It runs once the session is ready and ends with exactly
 * one finished() carrying the exit status.
 */
class TuvoCliCommand : public QObject
{
    Q_OBJECT
public:
    TuvoCliCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                   TuvoCliOutput *output, QObject *parent = nullptr);

    /*! The plugin to activate for the command: --plugin, by default. */
    virtual QString pluginToActivate() const;
    /*! Called once the session is ready. */
    virtual void start() = 0;
    /*! SIGINT or SIGTERM number \a count; by default the command ends at once. */
    virtual void interrupt(int count);
    /*! Nobody reads standard output any more: end as interrupted, quietly, with status 0. */
    void closeOutput();
    /*! The session could not be set up, or a name could not be resolved. */
    void fail(const TuvoClientError &error);

    static int exitCodeFor(const TuvoClientError &error);
    /*! The "type" of an error in JSON output. */
    static QString errorTypeName(const TuvoClientError &error);
    static QJsonObject errorJson(const TuvoClientError &error);
    /*! The fields every JSON object about a published object has. */
    static QJsonObject objectJson(const TuvoClientObjectInfo &object);

Q_SIGNALS:
    void finished(int exitCode);

protected:
    void finish(int exitCode);
    bool isFinished() const { return m_finished; }
    /*! How a command that runs until interrupted ends: 0. */
    int interruptedStatus() const;

    TuvoCliCommandLine m_commandLine;
    TuvoCliSession *m_session;
    TuvoCliOutput *m_output;

private:
    bool m_finished = false;
    bool m_outputClosed = false;
};

#endif
