#include "TuvoCliApplication.h"

#include "TuvoCliBrowseCommand.h"
#include "TuvoCliCommandLine.h"
#include "TuvoCliDocs.h"
#include "TuvoCliListCommand.h"
#include "TuvoCliOutput.h"
#include "TuvoCliPropertyCommand.h"
#include "TuvoCliRendererCommand.h"
#include "TuvoCliSession.h"
#include "TuvoCliSignalWatcher.h"
#include "TuvoCliWatchCommand.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QScopedPointer>

#include <cstdio>

namespace {
TuvoCliCommand *createCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                              TuvoCliOutput *output)
{
    const QString verb = commandLine.verb();
    if (verb == QLatin1String("list") || verb == QLatin1String("activate"))
        return new TuvoCliListCommand(commandLine, session, output);
    if (verb == QLatin1String("watch"))
        return new TuvoCliWatchCommand(commandLine, session, output);
    if (verb == QLatin1String("browse") || verb == QLatin1String("query"))
        return new TuvoCliBrowseCommand(commandLine, session, output);
    if (verb == QLatin1String("get") || verb == QLatin1String("set"))
        return new TuvoCliPropertyCommand(commandLine, session, output);
    return new TuvoCliRendererCommand(commandLine, session, output);
}

void printOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}
} // namespace

int TuvoCliApplication::run(const QStringList &arguments)
{
    TuvoCliCommandLine commandLine;
    if (!commandLine.parse(arguments)) {
        std::fprintf(stderr, "tuvo-client: %s\nTry \"tuvo-client --help\".\n",
                     commandLine.error().toLocal8Bit().constData());
        return TuvoCliCommandTable::Usage;
    }
    if (commandLine.helpRequested()) {
        const QString verb = commandLine.helpVerb();
        printOut(verb.isEmpty() || verb == QLatin1String("help") ? TuvoCliDocs::help()
                                                                  : TuvoCliDocs::verbHelp(verb));
        return TuvoCliCommandTable::Success;
    }
    if (commandLine.versionRequested()) {
        printOut(QStringLiteral("tuvo-client ") + TuvoCliCommandTable::version() + QLatin1Char('\n'));
        return TuvoCliCommandTable::Success;
    }

    TuvoCliOutput output(commandLine.json());
    const QDBusConnection connection = QDBusConnection::sessionBus();
    if (!connection.isConnected()) {
        output.message(QStringLiteral("cannot connect to the session bus: ") + connection.lastError().message());
        return TuvoCliCommandTable::DBusFailure;
    }

    TuvoCliSignalWatcher signalWatcher;
    TuvoCliSession session(connection, commandLine.timeoutMs());
    // The command goes before the session: its proxies may still send to the bus.
    QScopedPointer<TuvoCliCommand> command(createCommand(commandLine, &session, &output));
    QObject::connect(command.data(), &TuvoCliCommand::finished, qApp, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    QObject::connect(&session, &TuvoCliSession::failed, command.data(), &TuvoCliCommand::fail);
    QObject::connect(&session, &TuvoCliSession::ready, command.data(), &TuvoCliCommand::start);
    QObject::connect(&signalWatcher, &TuvoCliSignalWatcher::interrupted, command.data(),
                     [&command](int, int count) { command->interrupt(count); });
    QObject::connect(&output, &TuvoCliOutput::outputClosed, command.data(), &TuvoCliCommand::closeOutput);
    session.start(command->pluginToActivate());
    const int status = QCoreApplication::exec();
    command.reset();
    return status;
}
