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
    using Action = TuvoCliCommandTable::Action;
    switch (commandLine.action()) {
    case Action::List:
    case Action::Activate:
        return new TuvoCliListCommand(commandLine, session, output);
    case Action::Watch:
        return new TuvoCliWatchCommand(commandLine, session, output);
    case Action::Browse:
    case Action::Query:
        return new TuvoCliBrowseCommand(commandLine, session, output);
    case Action::Get:
    case Action::Set:
        return new TuvoCliPropertyCommand(commandLine, session, output);
    case Action::Play:
    case Action::Pause:
    case Action::Resume:
    case Action::Stop:
    case Action::Seek:
    case Action::Next:
    case Action::Previous:
    case Action::Goto:
    case Action::AssignPlaylist:
    case Action::Status:
    case Action::Position:
    case Action::MediaInfo:
    case Action::Help: // answered before any command is made
        break;
    }
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
        const TuvoCliCommandTable::Verb *known = TuvoCliCommandTable::findVerb(verb);
        printOut(!known || known->action == TuvoCliCommandTable::Action::Help ? TuvoCliDocs::help()
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
