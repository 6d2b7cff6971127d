#include "TuvoCliCommand.h"

#include "TuvoCliOutput.h"

TuvoCliCommand::TuvoCliCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                               TuvoCliOutput *output, QObject *parent)
    : QObject(parent)
    , m_commandLine(commandLine)
    , m_session(session)
    , m_output(output)
{
}

QString TuvoCliCommand::pluginToActivate() const
{
    return m_commandLine.value(QStringLiteral("plugin"));
}

void TuvoCliCommand::interrupt(int)
{
    finish(TuvoCliCommandTable::Interrupted);
}

void TuvoCliCommand::closeOutput()
{
    m_outputClosed = true;
    interrupt(1);
}

int TuvoCliCommand::interruptedStatus() const
{
    return TuvoCliCommandTable::Success;
}

void TuvoCliCommand::finish(int exitCode)
{
    if (m_finished)
        return;
    m_finished = true;
    // A reader that stopped reading ("| head") took what it wanted: like a full success.
    Q_EMIT finished(m_outputClosed ? int(TuvoCliCommandTable::Success) : exitCode);
}

void TuvoCliCommand::fail(const TuvoClientError &error)
{
    if (m_finished)
        return;
    m_output->message(error.message());
    finish(exitCodeFor(error));
}

int TuvoCliCommand::exitCodeFor(const TuvoClientError &error)
{
    switch (error.type()) {
    case TuvoClientError::NoError:
        return TuvoCliCommandTable::Success;
    case TuvoClientError::Timeout:
        return TuvoCliCommandTable::Timeout;
    case TuvoClientError::NotFound:
        return TuvoCliCommandTable::NotFound;
    case TuvoClientError::Ambiguous:
        return TuvoCliCommandTable::Ambiguous;
    case TuvoClientError::Refused:
    case TuvoClientError::Remote:
    case TuvoClientError::Cancelled:
    case TuvoClientError::Malformed:
        return TuvoCliCommandTable::Failed;
    case TuvoClientError::DBusFailure:
        return TuvoCliCommandTable::DBusFailure;
    }
    return TuvoCliCommandTable::Failed;
}

QString TuvoCliCommand::errorTypeName(const TuvoClientError &error)
{
    switch (error.type()) {
    case TuvoClientError::NoError:
        return QString();
    case TuvoClientError::Timeout:
        return QStringLiteral("timeout");
    case TuvoClientError::NotFound:
        return QStringLiteral("not-found");
    case TuvoClientError::Ambiguous:
        return QStringLiteral("ambiguous");
    case TuvoClientError::Refused:
        return QStringLiteral("refused");
    case TuvoClientError::Remote:
        return QStringLiteral("remote");
    case TuvoClientError::Cancelled:
        return QStringLiteral("cancelled");
    case TuvoClientError::Malformed:
        return QStringLiteral("malformed");
    case TuvoClientError::DBusFailure:
        return QStringLiteral("dbus");
    }
    return QString();
}

QJsonObject TuvoCliCommand::errorJson(const TuvoClientError &error)
{
    return QJsonObject{{QStringLiteral("error"),
                        QJsonObject{{QStringLiteral("type"), errorTypeName(error)},
                                    {QStringLiteral("code"), error.code()},
                                    {QStringLiteral("message"), error.message()}}}};
}

QJsonObject TuvoCliCommand::objectJson(const TuvoClientObjectInfo &object)
{
    return QJsonObject{{QStringLiteral("kind"), object.kindName()},
                       {QStringLiteral("name"), object.name},
                       {QStringLiteral("bus_name"), object.busName},
                       {QStringLiteral("owner"), object.owner},
                       {QStringLiteral("plugin"), object.plugin},
                       {QStringLiteral("title"), object.title},
                       {QStringLiteral("plugin_name"), object.pluginName}};
}
