#include "TuvoClientRenderer.h"

#include "TuvoClientRendererInterface.h"

#include <TuvoBusNames.h>
#include <TuvoDBusValue.h>

#include <QDBusMessage>

TuvoClientRenderer::TuvoClientRenderer(const TuvoClientObjectInfo &info,
                                       const QDBusConnection &connection, QObject *parent)
    : TuvoClientObject(info, connection, QLatin1String(TuvoBusNames::RendererInterface), parent)
{
    TuvoMediaInfoDBusStruct::registerMetaType();
    m_calls = makeInterface<TuvoClientRendererInterface>();
}

void TuvoClientRenderer::dispatchSignal(const QString &interface, const QString &member,
                                        const QVariantList &arguments)
{
    if (interface != m_calls->interface()) {
        TuvoClientObject::dispatchSignal(interface, member, arguments);
        return;
    }
    using Calls = TuvoClientRendererInterface;
    const QVariant first = arguments.value(0);
    if (isSignal(member, &Calls::state_changed))
        Q_EMIT stateChanged(first.toInt());
    else if (isSignal(member, &Calls::media_changed))
        Q_EMIT mediaChanged(first.toInt(), arguments.at(1).toString());
    else if (isSignal(member, &Calls::playback_completed))
        Q_EMIT playbackCompleted();
    else if (isSignal(member, &Calls::playlist_changed))
        Q_EMIT playlistChanged(first.toString());
    else if (isSignal(member, &Calls::metadata_changed))
        Q_EMIT metadataChanged(first.toString(), arguments.at(1).toList());
    else if (isSignal(member, &Calls::buffering_info))
        Q_EMIT bufferingInfo(first.toDouble());
    else if (isSignal(member, &Calls::scanning_info))
        Q_EMIT scanningInfo(first.toDouble());
    else if (isSignal(member, &Calls::error))
        Q_EMIT errorOccurred(first.toInt(), arguments.at(1).toString());
}

void TuvoClientRenderer::command(const QDBusPendingCall &call, const ErrorHandler &handler)
{
    watchReply(call, [handler](const TuvoClientError &error, const QDBusMessage &) {
                   if (handler)
                       handler(error);
               });
}

void TuvoClientRenderer::play(const ErrorHandler &handler)
{
    command(m_calls->play(), handler);
}

void TuvoClientRenderer::playUri(const QString &url, quint32 startSeconds, const ErrorHandler &handler)
{
    command(m_calls->play_uri(url, startSeconds), handler);
}

void TuvoClientRenderer::playUriWithContentType(const QString &url, const QString &contentType,
                                                const ErrorHandler &handler)
{
    command(m_calls->play_uri_content_type(url, contentType), handler);
}

void TuvoClientRenderer::stop(const ErrorHandler &handler)
{
    command(m_calls->stop(), handler);
}

void TuvoClientRenderer::pause(const ErrorHandler &handler)
{
    command(m_calls->pause(), handler);
}

void TuvoClientRenderer::pauseAt(quint32 seconds, const ErrorHandler &handler)
{
    command(m_calls->pause_at(seconds), handler);
}

void TuvoClientRenderer::resume(const ErrorHandler &handler)
{
    command(m_calls->resume(), handler);
}

void TuvoClientRenderer::setPosition(qint32 seconds, TuvoRendererWire::SeekMode mode, const ErrorHandler &handler)
{
    command(m_calls->set_position(seconds, qint32(mode)), handler);
}

void TuvoClientRenderer::assignPlaylist(const QString &playlistId, const ErrorHandler &handler)
{
    command(m_calls->assign_playlist(playlistId), handler);
}

void TuvoClientRenderer::next(const ErrorHandler &handler)
{
    command(m_calls->next(), handler);
}

void TuvoClientRenderer::previous(const ErrorHandler &handler)
{
    command(m_calls->previous(), handler);
}

void TuvoClientRenderer::gotoIndex(quint32 index, const ErrorHandler &handler)
{
    command(m_calls->goto_index(index), handler);
}

void TuvoClientRenderer::getStatus(const StatusHandler &handler)
{
    watchReply(m_calls->get_status(),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   TuvoClientRendererStatus status;
                   if (!error.isError()) {
                       const QVariantList args = reply.arguments();
                       status.playlistId = args.at(0).toString();
                       status.playlistIndex = args.at(1).toUInt();
                       status.state = args.at(2).toInt();
                       status.objectId = args.at(3).toString();
                   }
                   if (handler)
                       handler(error, status);
               });
}

void TuvoClientRenderer::getPosition(const PositionHandler &handler)
{
    watchReply(m_calls->get_position(),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (handler)
                       handler(error, error.isError() ? 0 : reply.arguments().at(0).toUInt());
               });
}

void TuvoClientRenderer::getCurrentMediaInfo(const QString &key, const MediaInfoHandler &handler)
{
    watchReply(m_calls->get_current_media_info(key),
               [this, handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   TuvoMediaInfoDBusStruct info;
                   TuvoClientError result = error;
                   QString why;
                   if (!error.isError()
                       && !TuvoMediaInfoDBusStruct::fromReplyArgument(reply.arguments().value(0), &info, &why))
                       result = TuvoClientError(TuvoClientError::Malformed,
                                                this->info().busName + QStringLiteral(": ") + why,
                                                this->info().busName);
                   if (handler)
                       handler(result, info);
               });
}
