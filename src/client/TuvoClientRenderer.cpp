#include "TuvoClientRenderer.h"

#include <TuvoBusNames.h>

#include <QDBusMessage>

TuvoClientRenderer::TuvoClientRenderer(const TuvoClientObjectInfo &info,
                                       const QDBusConnection &connection, QObject *parent)
    : TuvoClientObject(info, connection, QLatin1String(TuvoBusNames::RendererInterface), parent)
{
    TuvoMediaInfoDBusStruct::registerMetaType();
}

void TuvoClientRenderer::command(const QString &method, const QVariantList &arguments,
                                 const ErrorHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::RendererInterface), method, arguments, QString(),
               [handler](const TuvoClientError &error, const QDBusMessage &) {
                   if (handler)
                       handler(error);
               });
}

void TuvoClientRenderer::play(const ErrorHandler &handler)
{
    command(QStringLiteral("play"), {}, handler);
}

void TuvoClientRenderer::playUri(const QString &url, quint32 startSeconds, const ErrorHandler &handler)
{
    command(QStringLiteral("play_uri"), {url, startSeconds}, handler);
}

void TuvoClientRenderer::playUriWithContentType(const QString &url, const QString &contentType,
                                                const ErrorHandler &handler)
{
    command(QStringLiteral("play_uri_content_type"), {url, contentType}, handler);
}

void TuvoClientRenderer::stop(const ErrorHandler &handler)
{
    command(QStringLiteral("stop"), {}, handler);
}

void TuvoClientRenderer::pause(const ErrorHandler &handler)
{
    command(QStringLiteral("pause"), {}, handler);
}

void TuvoClientRenderer::pauseAt(quint32 seconds, const ErrorHandler &handler)
{
    command(QStringLiteral("pause_at"), {seconds}, handler);
}

void TuvoClientRenderer::resume(const ErrorHandler &handler)
{
    command(QStringLiteral("resume"), {}, handler);
}

void TuvoClientRenderer::setPosition(qint32 seconds, TuvoRendererWire::SeekMode mode, const ErrorHandler &handler)
{
    command(QStringLiteral("set_position"), {seconds, qint32(mode)}, handler);
}

void TuvoClientRenderer::assignPlaylist(const QString &playlistId, const ErrorHandler &handler)
{
    command(QStringLiteral("assign_playlist"), {playlistId}, handler);
}

void TuvoClientRenderer::next(const ErrorHandler &handler)
{
    command(QStringLiteral("next"), {}, handler);
}

void TuvoClientRenderer::previous(const ErrorHandler &handler)
{
    command(QStringLiteral("previous"), {}, handler);
}

void TuvoClientRenderer::gotoIndex(quint32 index, const ErrorHandler &handler)
{
    command(QStringLiteral("goto_index"), {index}, handler);
}

void TuvoClientRenderer::getStatus(const StatusHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::RendererInterface), QStringLiteral("get_status"), {},
               QStringLiteral("suis"),
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
    callMethod(QLatin1String(TuvoBusNames::RendererInterface), QStringLiteral("get_position"), {},
               QStringLiteral("u"),
               [handler](const TuvoClientError &error, const QDBusMessage &reply) {
                   if (handler)
                       handler(error, error.isError() ? 0 : reply.arguments().at(0).toUInt());
               });
}

void TuvoClientRenderer::getCurrentMediaInfo(const QString &key, const MediaInfoHandler &handler)
{
    callMethod(QLatin1String(TuvoBusNames::RendererInterface),
               QStringLiteral("get_current_media_info"), {key}, QLatin1String(TuvoMediaInfoDBusStruct::Signature),
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

bool TuvoClientRenderer::dispatchSignal(const QString &member, const QString &signature,
                                        const QVariantList &args)
{
    if (member == QLatin1String("state_changed") && signature == QLatin1String("i"))
        Q_EMIT stateChanged(args.at(0).toInt());
    else if (member == QLatin1String("media_changed") && signature == QLatin1String("is"))
        Q_EMIT mediaChanged(args.at(0).toInt(), args.at(1).toString());
    else if (member == QLatin1String("playback_completed") && signature.isEmpty())
        Q_EMIT playbackCompleted();
    else if (member == QLatin1String("playlist_changed") && signature == QLatin1String("s"))
        Q_EMIT playlistChanged(args.at(0).toString());
    else if (member == QLatin1String("metadata_changed") && signature == QLatin1String("sav"))
        Q_EMIT metadataChanged(args.at(0).toString(), args.at(1).toList());
    else if (member == QLatin1String("buffering_info") && signature == QLatin1String("d"))
        Q_EMIT bufferingInfo(args.at(0).toDouble());
    else if (member == QLatin1String("scanning_info") && signature == QLatin1String("d"))
        Q_EMIT scanningInfo(args.at(0).toDouble());
    else if (member == QLatin1String("error") && signature == QLatin1String("is"))
        Q_EMIT errorOccurred(args.at(0).toInt(), args.at(1).toString());
    else
        return false;
    return true;
}
