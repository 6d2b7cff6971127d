#include "TuvoCliRendererCommand.h"

#include "TuvoCliOutput.h"
#include "TuvoCliSession.h"

#include <TuvoClientRenderer.h>
#include <TuvoClientValue.h>

#include <QDir>
#include <QJsonArray>
#include <QUrl>

TuvoCliRendererCommand::TuvoCliRendererCommand(const TuvoCliCommandLine &commandLine,
                                               TuvoCliSession *session, TuvoCliOutput *output,
                                               QObject *parent)
    : TuvoCliCommand(commandLine, session, output, parent)
{
}

void TuvoCliRendererCommand::start()
{
    m_session->resolve({TuvoClientObjectInfo::Renderer}, m_commandLine.argument(0),
                       [this](const TuvoClientObjectInfo &renderer) { run(renderer); });
}

void TuvoCliRendererCommand::run(const TuvoClientObjectInfo &info)
{
    m_renderer = new TuvoClientRenderer(info, m_session->connection(), this);
    m_renderer->setTimeout(m_session->timeout());
    using Action = TuvoCliCommandTable::Action;
    const Action action = m_commandLine.action();
    QString argument = m_commandLine.argument(1);
    if (action == Action::Play && !argument.isEmpty())
        argument = uri(argument, QDir::currentPath());
    const TuvoClientObject::ErrorHandler done = [this](const TuvoClientError &error) {
        if (error.isError())
            fail(error);
        else
            finish(TuvoCliCommandTable::Success);
    };

    if (action == Action::Play) {
        if (argument.isEmpty())
            m_renderer->play(done);
        else if (m_commandLine.isSet(QStringLiteral("content-type")))
            m_renderer->playUriWithContentType(argument, m_commandLine.value(QStringLiteral("content-type")), done);
        else
            m_renderer->playUri(argument, m_commandLine.value(QStringLiteral("start")).toUInt(), done);
    } else if (action == Action::Pause) {
        if (m_commandLine.isSet(QStringLiteral("at")))
            m_renderer->pauseAt(m_commandLine.value(QStringLiteral("at")).toUInt(), done);
        else
            m_renderer->pause(done);
    } else if (action == Action::Resume) {
        m_renderer->resume(done);
    } else if (action == Action::Stop) {
        m_renderer->stop(done);
    } else if (action == Action::Seek) {
        // Checked by the parser: [+-]N or N[+-].
        QString position = argument;
        TuvoRendererWire::SeekMode mode = TuvoRendererWire::SeekAbsolute;
        if (position.startsWith(QLatin1Char('+')) || position.endsWith(QLatin1Char('+')))
            mode = TuvoRendererWire::SeekForward;
        else if (position.startsWith(QLatin1Char('-')) || position.endsWith(QLatin1Char('-')))
            mode = TuvoRendererWire::SeekBackward;
        position.remove(QLatin1Char('+')).remove(QLatin1Char('-'));
        m_renderer->setPosition(position.toInt(), mode, done);
    } else if (action == Action::Next) {
        m_renderer->next(done);
    } else if (action == Action::Previous) {
        m_renderer->previous(done);
    } else if (action == Action::Goto) {
        m_renderer->gotoIndex(argument.toUInt(), done);
    } else if (action == Action::AssignPlaylist) {
        m_renderer->assignPlaylist(argument, done);
    } else if (action == Action::Status) {
        m_renderer->getStatus([this](const TuvoClientError &error, const TuvoClientRendererStatus &status) {
            if (error.isError()) {
                fail(error);
                return;
            }
            printStatus(status);
            finish(TuvoCliCommandTable::Success);
        });
    } else if (action == Action::Position) {
        m_renderer->getPosition([this](const TuvoClientError &error, quint32 seconds) {
            if (error.isError()) {
                fail(error);
                return;
            }
            if (m_output->isJson())
                m_output->json({{QStringLiteral("position"), qint64(seconds)}});
            else
                m_output->line(QString::number(seconds));
            finish(TuvoCliCommandTable::Success);
        });
    } else if (action == Action::MediaInfo) {
        m_renderer->getCurrentMediaInfo(argument, [this](const TuvoClientError &error,
                                                         const TuvoMediaInfoDBusStruct &info) {
            if (error.isError()) {
                fail(error);
                return;
            }
            printMediaInfo(info);
            finish(TuvoCliCommandTable::Success);
        });
    }
}

QString TuvoCliRendererCommand::uri(const QString &argument, const QString &workingDirectory)
{
    if (!QUrl(argument).scheme().isEmpty())
        return argument;
    return QUrl::fromUserInput(argument, workingDirectory, QUrl::AssumeLocalFile).toString(QUrl::FullyEncoded);
}

void TuvoCliRendererCommand::printStatus(const TuvoClientRendererStatus &status)
{
    const QString stateName = TuvoRendererWire::stateName(status.state);
    if (m_output->isJson()) {
        m_output->json({{QStringLiteral("state"), status.state},
                        {QStringLiteral("state_name"), stateName},
                        {QStringLiteral("playlist"), status.playlistId},
                        {QStringLiteral("playlist_index"), qint64(status.playlistIndex)},
                        {QStringLiteral("object"), status.objectId}});
        return;
    }
    m_output->table({QStringLiteral("STATE"), QStringLiteral("PLAYLIST"), QStringLiteral("INDEX"),
                     QStringLiteral("OBJECT")},
                    {{stateName, TuvoCliOutput::cell(status.playlistId), QString::number(status.playlistIndex),
                      TuvoCliOutput::cell(status.objectId)}});
}

void TuvoCliRendererCommand::printMediaInfo(const TuvoMediaInfoDBusStruct &info)
{
    if (m_output->isJson()) {
        QJsonObject metadata;
        QJsonObject types;
        for (auto it = info.metadata.constBegin(); it != info.metadata.constEnd(); ++it) {
            QJsonArray values;
            QJsonArray typeNames;
            for (const QVariant &value : it.value()) {
                values.append(TuvoCliOutput::jsonValue(value));
                typeNames.append(TuvoClientValue::typeName(value));
            }
            metadata.insert(it.key(), values);
            types.insert(it.key(), typeNames);
        }
        m_output->json({{QStringLiteral("id"), info.uuid},
                        {QStringLiteral("metadata"), metadata},
                        {QStringLiteral("types"), types}});
        return;
    }
    QList<QStringList> rows{{QStringLiteral("id"), QStringLiteral("string"), TuvoCliOutput::cell(info.uuid)}};
    for (auto it = info.metadata.constBegin(); it != info.metadata.constEnd(); ++it) {
        if (it.value().isEmpty())
            rows.append({it.key(), QStringLiteral("none"), QStringLiteral("-")});
        for (const QVariant &value : it.value())
            rows.append({it.key(), TuvoClientValue::typeName(value), TuvoCliOutput::text(value)});
    }
    m_output->table({QStringLiteral("KEY"), QStringLiteral("TYPE"), QStringLiteral("VALUE")}, rows);
}
