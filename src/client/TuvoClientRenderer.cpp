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
    using Calls = TuvoClientRendererInterface;
    connect(m_calls, &Calls::state_changed, this, &TuvoClientRenderer::stateChanged);
    connect(m_calls, &Calls::media_changed, this, &TuvoClientRenderer::mediaChanged);
    connect(m_calls, &Calls::playback_completed, this, &TuvoClientRenderer::playbackCompleted);
    connect(m_calls, &Calls::playlist_changed, this, &TuvoClientRenderer::playlistChanged);
    connect(m_calls, &Calls::metadata_changed, this, [this](const QString &key, const QVariantList &values) {
        Q_EMIT metadataChanged(key, TuvoDBusValue::plain(QVariant(values)).toList());
    });
    connect(m_calls, &Calls::buffering_info, this, &TuvoClientRenderer::bufferingInfo);
    connect(m_calls, &Calls::scanning_info, this, &TuvoClientRenderer::scanningInfo);
    connect(m_calls, &Calls::error, this, &TuvoClientRenderer::errorOccurred);
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
