#include "TuvoCliListCommand.h"

#include "TuvoCliOutput.h"
#include "TuvoCliSession.h"

#include <TuvoClientPluginActivation.h>
#include <TuvoClientDiscovery.h>

#include <algorithm>

TuvoCliListCommand::TuvoCliListCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                                       TuvoCliOutput *output, QObject *parent)
    : TuvoCliCommand(commandLine, session, output, parent)
    , m_hold(commandLine.action() == TuvoCliCommandTable::Action::Activate)
{
}

QString TuvoCliListCommand::pluginToActivate() const
{
    return m_hold ? m_commandLine.argument(0) : TuvoCliCommand::pluginToActivate();
}

void TuvoCliListCommand::start()
{
    // Titles come from the objects themselves, all asked at once: a frozen process
    // costs one time-out, not one per object.
    m_session->discovery()->fetchTitles([this](const QList<TuvoClientError> &errors) {
        for (const TuvoClientError &error : errors) {
            if (error.type() == TuvoClientError::Timeout && !m_titleError.isError())
                m_titleError = error;
        }
        TuvoClientObjectInfo::Kind kind = TuvoClientObjectInfo::Plugin;
        const bool filtered = !m_hold && !m_commandLine.argument(0).isEmpty()
                              && TuvoClientObjectInfo::kindFromName(m_commandLine.argument(0), &kind);
        QList<TuvoClientObjectInfo> objects = m_session->objects();
        // Plugins the bus would start on demand, after those that run.
        if (m_session->plugin().isEmpty())
            objects += m_session->discovery()->startablePlugins();
        std::stable_sort(objects.begin(), objects.end(),
                         [](const TuvoClientObjectInfo &a, const TuvoClientObjectInfo &b) { return a.kind < b.kind; });
        for (const TuvoClientObjectInfo &object : objects) {
            if (!filtered || object.kind == kind)
                m_objects.append(object);
        }
        print();
    });
}

void TuvoCliListCommand::print()
{
    if (m_output->isJson()) {
        QList<QJsonObject> lines;
        for (const TuvoClientObjectInfo &object : qAsConst(m_objects)) {
            QJsonObject line = objectJson(object);
            if (object.kind == TuvoClientObjectInfo::Plugin)
                line.insert(QStringLiteral("activatable"), m_session->discovery()->isActivatable(object.name));
            lines.append(line);
        }
        m_output->jsonLines(lines);
    } else {
        QList<QStringList> rows;
        for (const TuvoClientObjectInfo &object : qAsConst(m_objects))
            rows.append({object.kindName(), object.name, TuvoCliOutput::cell(object.plugin), object.busName,
                         object.owner.isEmpty() ? QStringLiteral("(not running; started on demand)")
                                                : TuvoCliOutput::cell(object.title)});
        m_output->table({QStringLiteral("KIND"), QStringLiteral("NAME"), QStringLiteral("PLUGIN"),
                         QStringLiteral("BUS-NAME"), QStringLiteral("TITLE")},
                        rows);
    }
    if (m_titleError.isError())
        m_output->message(m_titleError.message() + QStringLiteral("; its title is not shown"));
    if (!m_hold) {
        finish(exitCodeFor(m_titleError));
        return;
    }
    TuvoClientPluginActivation *activation = m_session->activation();
    m_output->message(QStringLiteral("keeping %1 active until interrupted").arg(activation->plugin()));
    connect(activation, &TuvoClientPluginActivation::lost, this, [this, activation] {
        m_output->message(QStringLiteral("the process of %1 left the bus; activating it again")
                              .arg(activation->plugin()));
    });
    connect(activation, &TuvoClientPluginActivation::activated, this, [this, activation](const QString &owner) {
        m_output->message(QStringLiteral("%1 is active again (process %2)").arg(activation->plugin(), owner));
    });
    // Waiting is only worth it while the bus can bring the plugin back.
    connect(activation, &TuvoClientPluginActivation::failed, this, [this](const TuvoClientError &error) {
        m_output->message(error.message());
        finish(TuvoCliCommandTable::PluginGone);
    });
}

void TuvoCliListCommand::interrupt(int)
{
    // For activate, an interrupt is the way to end it.
    finish(m_hold ? interruptedStatus() : TuvoCliCommandTable::Interrupted);
}
