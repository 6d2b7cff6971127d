#include "TuvoCliWatchCommand.h"

#include "TuvoCliOutput.h"
#include "TuvoCliPropertyCommand.h"
#include "TuvoCliSession.h"

#include <TuvoBusNames.h>
#include <TuvoClientDiscovery.h>
#include <TuvoClientObject.h>
#include <TuvoClientPluginActivation.h>
#include <TuvoClientRenderer.h>
#include <TuvoClientValue.h>
#include <TuvoDBusValue.h>
#include <TuvoInterfaceFiles.h>

#include <QDateTime>
#include <QJsonArray>

namespace {
const QStringList FollowedInterfaces = {QLatin1String(TuvoBusNames::RendererInterface),
                                        QLatin1String(TuvoBusNames::SourceInterface),
                                        QLatin1String(TuvoBusNames::ExtensionInterface)};
} // namespace

TuvoCliWatchCommand::TuvoCliWatchCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                                         TuvoCliOutput *output, QObject *parent)
    : TuvoCliCommand(commandLine, session, output, parent)
    , m_property(commandLine.argument(1))
{
    // Signals are followed from the start; those that come before the snapshot is
    // printed wait for it.
    QDBusConnection connection = session->connection();
    for (const QString &interface : FollowedInterfaces) {
        if (!connection.connect(QString(), QString(), interface, QString(), this, SLOT(handleSignal(QDBusMessage))))
            m_output->message(QStringLiteral("cannot follow the signals of %1").arg(interface));
    }
}

void TuvoCliWatchCommand::start()
{
    if (m_commandLine.argument(0).isEmpty()) {
        follow();
        return;
    }
    m_session->resolve({TuvoClientObjectInfo::Source, TuvoClientObjectInfo::Renderer},
                       m_commandLine.argument(0), [this](const TuvoClientObjectInfo &target) {
                           m_target = target;
                           follow();
                       });
}

void TuvoCliWatchCommand::follow()
{
    TuvoClientDiscovery *discovery = m_session->discovery();
    const QList<TuvoClientObjectInfo> objects = discovery->objects();
    for (const TuvoClientObjectInfo &object : objects) {
        if (wanted(object))
            printObjectEvent(QStringLiteral("present"), object);
    }
    connect(discovery, &TuvoClientDiscovery::objectAppeared, this, [this](const TuvoClientObjectInfo &object) {
        if (wanted(object))
            printObjectEvent(QStringLiteral("appeared"), object);
    });
    connect(discovery, &TuvoClientDiscovery::objectVanished, this, [this](const TuvoClientObjectInfo &object) {
        if (wanted(object))
            printObjectEvent(QStringLiteral("vanished"), object);
    });
    connect(discovery, &TuvoClientDiscovery::helloReceived, this, [this](const TuvoClientObjectInfo &hello) {
        TuvoClientObjectInfo object = hello;
        const TuvoClientObjectInfo known = m_session->discovery()->object(hello.busName);
        if (known.owner == hello.owner)
            object.plugin = known.plugin;
        if (wanted(object))
            printObjectEvent(QStringLiteral("hello"), object);
    });
    if (TuvoClientPluginActivation *activation = m_session->activation()) {
        connect(activation, &TuvoClientPluginActivation::failed, this,
                [this](const TuvoClientError &error) { m_output->message(error.message()); });
    }

    if (!m_property.isEmpty()) {
        // The current value first; changes that arrive meanwhile wait for it.
        TuvoClientObject *proxy = TuvoCliPropertyCommand::createProxy(m_target, m_session, this);
        proxy->getProperty(m_property, [this, proxy](const TuvoClientError &error, const QVariant &value) {
            proxy->deleteLater();
            if (error.isError())
                m_output->message(error.message());
            else
                printValue(QStringLiteral("value"), m_target, m_property, value);
            m_following = true;
            const QList<QDBusMessage> early = m_early;
            m_early.clear();
            for (const QDBusMessage &message : early)
                printSignal(message);
        });
        return;
    }
    m_following = true;
    const QList<QDBusMessage> early = m_early;
    m_early.clear();
    for (const QDBusMessage &message : early)
        printSignal(message);
}

bool TuvoCliWatchCommand::wanted(const TuvoClientObjectInfo &object) const
{
    if (m_target.isValid())
        return object.busName == m_target.busName;
    return m_session->inScope(object);
}

void TuvoCliWatchCommand::handleSignal(const QDBusMessage &message)
{
    if (!m_following)
        m_early.append(message);
    else
        printSignal(message);
}

void TuvoCliWatchCommand::printSignal(const QDBusMessage &message)
{
    TuvoClientObjectInfo object = m_session->discovery()->objectAt(message.service(), message.path());
    if (!object.isValid()) {
        // Not (or no longer) known by name: say what the path says.
        object = TuvoClientObjectInfo::fromObjectPath(message.path());
        object.owner = message.service();
        if (object.name.isEmpty() || m_target.isValid() || !m_session->plugin().isEmpty())
            return;
    } else if (!wanted(object)) {
        return;
    }

    QVariantList args = message.arguments();
    for (QVariant &arg : args)
        arg = TuvoDBusValue::plain(arg);
    const bool propertyChange = message.interface() == QLatin1String(TuvoBusNames::ExtensionInterface)
                                && message.member() == QLatin1String("property_changed")
                                && message.signature() == QLatin1String("sv");
    if (!m_property.isEmpty()) {
        if (propertyChange && args.at(0).toString() == m_property)
            printValue(QStringLiteral("signal"), object, m_property, args.at(1));
        return;
    }
    if (propertyChange) {
        printValue(QStringLiteral("signal"), object, args.at(0).toString(), args.at(1));
        return;
    }

    const QStringList names = TuvoInterfaceFiles::signalArgumentNames(message.interface(), message.member());
    QStringList parts{message.member()};
    QJsonArray jsonArgs;
    QJsonArray types;
    for (int i = 0; i < args.size(); ++i) {
        QString part = TuvoCliOutput::text(args.at(i), true);
        if (names.size() == args.size())
            part.prepend(names.at(i) + QLatin1Char('='));
        if (message.interface() == QLatin1String(TuvoBusNames::RendererInterface)
            && message.member() == QLatin1String("state_changed"))
            part += QStringLiteral(" (%1)").arg(TuvoRendererWire::stateName(args.at(i).toInt()));
        parts.append(part);
        jsonArgs.append(TuvoCliOutput::jsonValue(args.at(i)));
        types.append(TuvoClientValue::typeName(args.at(i)));
    }
    emitLine(QStringLiteral("signal"), object, parts.join(QLatin1Char(' ')),
             {{QStringLiteral("interface"), message.interface()},
              {QStringLiteral("signal"), message.member()},
              {QStringLiteral("args"), jsonArgs},
              {QStringLiteral("types"), types}});
}

void TuvoCliWatchCommand::printValue(const QString &event, const TuvoClientObjectInfo &object,
                                     const QString &property, const QVariant &value)
{
    QJsonObject json{{QStringLiteral("property"), property},
                     {QStringLiteral("value"), TuvoCliOutput::jsonValue(value)},
                     {QStringLiteral("type"), TuvoClientValue::typeName(value)}};
    QString details = QStringLiteral("%1=%2 (%3)").arg(property, TuvoCliOutput::text(value, true),
                                                      TuvoClientValue::typeName(value));
    if (event == QLatin1String("signal")) {
        details.prepend(QStringLiteral("property_changed "));
        json.insert(QStringLiteral("interface"), QLatin1String(TuvoBusNames::ExtensionInterface));
        json.insert(QStringLiteral("signal"), QStringLiteral("property_changed"));
        json.insert(QStringLiteral("args"), QJsonArray{property, TuvoCliOutput::jsonValue(value)});
        json.insert(QStringLiteral("types"), QJsonArray{QStringLiteral("string"), TuvoClientValue::typeName(value)});
    }
    emitLine(event, object, details, json);
}

void TuvoCliWatchCommand::printObjectEvent(const QString &event, const TuvoClientObjectInfo &object)
{
    QStringList parts{TuvoCliOutput::cell(object.busName)};
    if (!object.plugin.isEmpty() && object.kind != TuvoClientObjectInfo::Plugin)
        parts.append(QStringLiteral("plugin=") + object.plugin);
    if (!object.pluginName.isEmpty())
        parts.append(QStringLiteral("plugin_name=") + TuvoCliOutput::text(object.pluginName, true));
    if (!object.title.isEmpty())
        parts.append(QStringLiteral("title=") + TuvoCliOutput::text(object.title, true));
    emitLine(event, object, parts.join(QLatin1Char(' ')), QJsonObject());
}

void TuvoCliWatchCommand::emitLine(const QString &event, const TuvoClientObjectInfo &object,
                                   const QString &details, QJsonObject json)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (m_output->isJson()) {
        const QJsonObject base = objectJson(object);
        for (auto it = base.constBegin(); it != base.constEnd(); ++it)
            json.insert(it.key(), it.value());
        // With the offset, so that the time means the same in any zone: "...T12:00:00.000+02:00".
        json.insert(QStringLiteral("time"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs));
        json.insert(QStringLiteral("event"), event);
        m_output->json(json);
        return;
    }
    m_output->line(QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(now.toString(QStringLiteral("HH:mm:ss.zzz")), event.leftJustified(8),
                            object.kindName().leftJustified(8), object.name, details));
}

void TuvoCliWatchCommand::interrupt(int)
{
    finish(interruptedStatus());
}
