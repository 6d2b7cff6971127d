#include "TuvoRendererAdaptor.h"

#include "TuvoMediaInfoDBus.h"
#include "TuvoRendererLogging.h"

#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>
#include <TuvoRendererWire.h>

#include <QDBusConnection>
#include <QDBusError>
#include <QDebug>
#include <QUrl>

const QString TuvoRendererAdaptor::CancelledErrorName = QLatin1String(TuvoRendererWire::CancelledErrorName);
const QString TuvoRendererAdaptor::CancelledErrorText = QLatin1String(TuvoRendererWire::CancelledErrorText);

// The framework's numbers are the wire's.
static_assert(int(TuvoRenderer::Stopped) == TuvoRendererWire::Stopped
              && int(TuvoRenderer::Playing) == TuvoRendererWire::Playing
              && int(TuvoRenderer::Paused) == TuvoRendererWire::Paused
              && int(TuvoRenderer::Buffering) == TuvoRendererWire::Buffering
              && int(TuvoRenderer::Error) == TuvoRendererWire::Error
              && int(TuvoRenderer::SeekAbsolute) == TuvoRendererWire::SeekAbsolute
              && int(TuvoRenderer::SeekForward) == TuvoRendererWire::SeekForward
              && int(TuvoRenderer::SeekBackward) == TuvoRendererWire::SeekBackward);

namespace {
const char *const PositionCallback = "1getPositionCallback(uint)";
const char *const StatusCallback = "1getStatusCallback(QString,uint,int,QString)";
const char *const MediaInfoCallback = "1getCurrentMediaInfoCallback(const TuvoMediaInfo&)";

// Clients send URLs as text; anything beyond ASCII is taken as UTF-8 so that a
// name such as "Björk.mp3" reaches the renderer as it was sent.
QUrl urlFromBus(const QString &url)
{
    return QUrl::fromEncoded(url.toUtf8());
}
} // namespace

TuvoRendererAdaptor::TuvoRendererAdaptor(TuvoRenderer *renderer)
    : QDBusAbstractAdaptor(renderer)
    , renderer(renderer)
    , registry(TuvoRegistry::instance())
{
    TuvoMediaInfoDBusStruct::registerMetaType();

    connect(renderer, &TuvoRenderer::stateChanged, this,
            &TuvoRendererAdaptor::rendererStateChangedSlot);
    connect(renderer, &TuvoRenderer::mediaChanged, this,
            &TuvoRendererAdaptor::rendererMediaChangedSlot);
    connect(renderer, &TuvoRenderer::playbackCompleted, this,
            &TuvoRendererAdaptor::playback_completed);
    connect(renderer, &TuvoRenderer::playlistChanged, this,
            &TuvoRendererAdaptor::rendererPlaylistChangedSlot);
    connect(renderer, &TuvoRenderer::metadataChanged, this,
            &TuvoRendererAdaptor::metadata_changed);
    connect(renderer, &TuvoRenderer::bufferingInfo, this, &TuvoRendererAdaptor::bufferingInfoSlot);
    connect(renderer, &TuvoRenderer::scanningInfo, this, &TuvoRendererAdaptor::scanningInfoSlot);
    connect(renderer, &TuvoRenderer::error, this, &TuvoRendererAdaptor::rendererError);
}

TuvoRendererAdaptor::~TuvoRendererAdaptor() = default;

// Commands ---------------------------------------------------------------------------

void TuvoRendererAdaptor::play()
{
    qDebug() << "TuvoRendererAdaptor::play";
    renderer->play();
}

void TuvoRendererAdaptor::play_uri(const QString &url, uint startPos)
{
    qDebug() << "TuvoRendererAdaptor::play_uri" << startPos;
    renderer->playUri(urlFromBus(url), startPos);
}

void TuvoRendererAdaptor::play_uri(const QString &url)
{
    play_uri(url, 0);
}

void TuvoRendererAdaptor::play_uri_content_type(const QString &url, const QString &contentType)
{
    qDebug() << "TuvoRendererAdaptor::play_uri_content_type";
    renderer->playUriWithContentType(urlFromBus(url), contentType);
}

void TuvoRendererAdaptor::stop()
{
    qDebug() << "TuvoRendererAdaptor::stop";
    renderer->stop();
}

void TuvoRendererAdaptor::pause()
{
    qDebug() << "TuvoRendererAdaptor::pause";
    renderer->pause();
}

void TuvoRendererAdaptor::pause_at(uint position)
{
    qDebug() << "void TuvoRendererAdaptor::pause_at(uint)";
    renderer->pauseAt(position);
}

void TuvoRendererAdaptor::resume()
{
    qDebug() << "TuvoRendererAdaptor::resume";
    renderer->resume();
}

void TuvoRendererAdaptor::set_position(int seconds, int mode)
{
    qDebug() << "TuvoRendererAdaptor::setPosition";
    renderer->setPosition(seconds, mode);
}

void TuvoRendererAdaptor::set_position(int seconds)
{
    set_position(seconds, 0);
}

void TuvoRendererAdaptor::assign_playlist(const QString &id)
{
    qDebug() << "TuvoRendererAdaptor::assign_playlist" << id;
    TuvoPlaylist *playlist = registry->findPlaylist(id);
    // Set before the renderer is asked, and whatever it answers.
    assignedPlaylist = playlist;
    if (!renderer->assignPlaylist(playlist))
        qWarning() << "TuvoRendererAdaptor: assigning playlist fails.";
}

void TuvoRendererAdaptor::next()
{
    qDebug() << "void TuvoRendererAdaptor::next()";
    // What the waiting queries would answer is about to change.
    cancelMessages(true);
    if (!assignedPlaylist)
        return;
    if (!renderer->next())
        qWarning() << "TuvoRendererAdaptor: playlist next fails.";
}

void TuvoRendererAdaptor::previous()
{
    qDebug() << "void TuvoRendererAdaptor::previous()";
    cancelMessages(true);
    if (!assignedPlaylist)
        return;
    if (!renderer->previous())
        qWarning() << "TuvoRendererAdaptor: playlist previous fails.";
}

void TuvoRendererAdaptor::goto_index(uint index)
{
    if (!assignedPlaylist)
        return;
    if (!renderer->gotoIndex(index))
        qWarning() << "TuvoRendererAdaptor: playlist goto_index fails.";
}

// Queries ----------------------------------------------------------------------------

void TuvoRendererAdaptor::get_position(const QDBusMessage &message)
{
    message.setDelayedReply(true);
    pendingPositionMessages.append(message);
    if (pendingPositionMessages.size() != 1)
        return; // the request that is out will answer this call too
    if (!renderer->getPosition(this, PositionCallback)) {
        // No answer follows a refusal: without an error the call would wait for its
        // time-out, and every later call would join it.
        qCWarning(lcTuvoRenderer) << "renderer" << renderer->uuid() << "refuses getPosition";
        sendRefusals(pendingPositionMessages, QStringLiteral("failed to get position"));
    }
}

void TuvoRendererAdaptor::get_status(const QDBusMessage &message)
{
    message.setDelayedReply(true);
    pendingStatusMessages.append(message);
    if (pendingStatusMessages.size() != 1)
        return;
    if (!renderer->getStatus(this, StatusCallback)) {
        qCWarning(lcTuvoRenderer) << "renderer" << renderer->uuid() << "refuses getStatus";
        sendRefusals(pendingStatusMessages, QStringLiteral("failed to get status"));
    }
}

void TuvoRendererAdaptor::getPositionCallback(uint position)
{
    if (pendingPositionMessages.isEmpty()) {
        qWarning() << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getPositionCallback()";
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    while (!pendingPositionMessages.isEmpty()) {
        const QDBusMessage message = pendingPositionMessages.takeFirst();
        if (!bus.send(message.createReply(QVariant::fromValue(position))))
            qWarning() << "Could not send getPosition reply!";
    }
}

void TuvoRendererAdaptor::getStatusCallback(QString playlistId, uint playlistIndex, int state,
                                            QString objectId)
{
    if (pendingStatusMessages.isEmpty()) {
        qWarning() << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getStatusCallback()";
        return;
    }
    const QVariantList arguments{playlistId, QVariant::fromValue(playlistIndex), state, objectId};
    QDBusConnection bus = QDBusConnection::sessionBus();
    while (!pendingStatusMessages.isEmpty()) {
        const QDBusMessage message = pendingStatusMessages.takeFirst();
        if (!bus.send(message.createReply(arguments)))
            qWarning() << "Could not send getStatus reply!";
    }
}

void TuvoRendererAdaptor::get_current_media_info(const QString &metadataKey,
                                                 const QDBusMessage &message)
{
    qDebug() << "void TuvoRendererAdaptor::get_current_media_info(const QString&, const QDBusMessage&)"
             << "metadataKey:" << metadataKey;
    message.setDelayedReply(true);
    // Kept before the renderer is asked: a renderer that answers inside the request
    // must find the call it answers.
    pendingMediaInfoMessages.append(message);
    if (pendingMediaInfoMessages.size() == 1)
        requestMediaInfo();
}

void TuvoRendererAdaptor::requestMediaInfo()
{
    if (requestingMediaInfo)
        return;
    requestingMediaInfo = true;
    while (!pendingMediaInfoMessages.isEmpty()) {
        const quint64 ended = mediaInfoCallsEnded;
        // A copy: the list changes under the request when the renderer answers inside it.
        const QDBusMessage message = pendingMediaInfoMessages.first();
        if (doGetCurrentMediaInfo(message) && mediaInfoCallsEnded == ended)
            break; // the answer comes later and serves this call
        // Answered or ended inside the request, or refused: on with the next call.
    }
    requestingMediaInfo = false;
}

bool TuvoRendererAdaptor::doGetCurrentMediaInfo(const QDBusMessage &message)
{
    const quint64 ended = mediaInfoCallsEnded;
    // Always the whole record: the key of each call is applied to the answer.
    if (renderer->getCurrentMediaInfo(this, MediaInfoCallback, QString()))
        return true;
    // An answer or a cancellation inside the request has ended the call already; it
    // must not get a second reply.
    if (mediaInfoCallsEnded != ended)
        return false;
    pendingMediaInfoMessages.removeFirst();
    ++mediaInfoCallsEnded;
    // The call keeps its delayed-reply mark, so this error is its only reply.
    const QDBusMessage reply =
        message.createErrorReply(QDBusError::Failed, QStringLiteral("failed to get media info"));
    if (!QDBusConnection::sessionBus().send(reply))
        qWarning() << "TuvoRendererAdaptor::doGetCurrentMediaInfo failed to send error reply";
    return false;
}

void TuvoRendererAdaptor::getCurrentMediaInfoCallback(const TuvoMediaInfo &mediaInfo)
{
    qDebug() << "void TuvoRendererAdaptor::getCurrentMediaInfoCallback(const TuvoMediaInfo&)";
    if (pendingMediaInfoMessages.isEmpty()) {
        qWarning() << "There are no D-Bus messages to reply to!";
        return;
    }
    const QDBusMessage message = pendingMediaInfoMessages.takeFirst();
    ++mediaInfoCallsEnded;
    const QString key =
        message.arguments().isEmpty() ? QString() : message.arguments().first().toString();
    if (key.isEmpty()) {
        sendMediaInfoReply(message, mediaInfo);
    } else {
        TuvoMediaInfo selected(mediaInfo.uuid());
        selected.setMetaData(key, mediaInfo.metaData(key));
        sendMediaInfoReply(message, selected);
    }
    // Inside a request, requestMediaInfo() is running already and goes on by itself.
    requestMediaInfo();
}

void TuvoRendererAdaptor::sendMediaInfoReply(const QDBusMessage &message,
                                             const TuvoMediaInfo &mediaInfo)
{
    qDebug() << "void TuvoRendererAdaptor::sendMediaInfoReply(QDBusMessage, const TuvoMediaInfo&)";
    const QVariant reply = QVariant::fromValue(TuvoMediaInfoDBus::toWire(mediaInfo));
    if (!QDBusConnection::sessionBus().send(message.createReply(reply)))
        qWarning() << "Could not send getCurrentMediaInfo reply!";
}

void TuvoRendererAdaptor::sendErrorReplies(QList<QDBusMessage> &list, const QString &errorText,
                                           const QString &errorName)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    while (!list.isEmpty()) {
        const QDBusMessage message = list.takeFirst();
        if (!bus.send(message.createErrorReply(errorName, errorText)))
            qWarning() << "Could not send error reply!";
    }
}

void TuvoRendererAdaptor::sendRefusals(QList<QDBusMessage> &list, const QString &errorText)
{
    sendErrorReplies(list, errorText, QDBusError::errorString(QDBusError::Failed));
}

void TuvoRendererAdaptor::cancelMessages(bool sendErrors)
{
    qDebug() << "void TuvoRendererAdaptor::cancelMessages(bool)";
    if (sendErrors) {
        sendErrorReplies(pendingPositionMessages, CancelledErrorText, CancelledErrorName);
        sendErrorReplies(pendingStatusMessages, CancelledErrorText, CancelledErrorName);
        sendErrorReplies(pendingMediaInfoMessages, CancelledErrorText, CancelledErrorName);
    }
    // A renderer request that is still out stays out; its answer serves whatever
    // call is waiting by then.
    pendingPositionMessages.clear();
    pendingStatusMessages.clear();
    if (!pendingMediaInfoMessages.isEmpty())
        ++mediaInfoCallsEnded;
    pendingMediaInfoMessages.clear();
}

// Renderer signals -------------------------------------------------------------------

void TuvoRendererAdaptor::rendererError(const TuvoError &tuvoError)
{
    qDebug() << "TuvoRendererAdaptor::rendererError" << tuvoError.code() << ", "
             << tuvoError.message();
    switch (tuvoError.code()) {
    case TuvoError::ErrorPlaybackAborted:
    case TuvoError::ErrorPlaylistAborted:
        cancelMessages(true);
        break;
    case TuvoError::ErrorPositionUnavailable:
        sendErrorReplies(pendingPositionMessages, CancelledErrorText, CancelledErrorName);
        break;
    case TuvoError::ErrorStatusUnavailable:
        sendErrorReplies(pendingStatusMessages, CancelledErrorText, CancelledErrorName);
        break;
    default:
        break;
    }
    Q_EMIT error(tuvoError.code(), tuvoError.message());
}

void TuvoRendererAdaptor::rendererStateChangedSlot(TuvoRenderer::State state)
{
    Q_EMIT state_changed(int(state));
}

void TuvoRendererAdaptor::rendererMediaChangedSlot(int index, const TuvoContent &content)
{
    Q_EMIT media_changed(index, content.uuid());
}

void TuvoRendererAdaptor::rendererPlaylistChangedSlot(TuvoPlaylist *playlist)
{
    QString playlistId;
    if (playlist) {
        playlistId = playlist->id();
        if (playlistId.isEmpty())
            qCritical() << "TuvoRendererAdaptor: A playlist has no ID!";
    }
    Q_EMIT playlist_changed(playlistId);
}

void TuvoRendererAdaptor::bufferingInfoSlot(float status)
{
    Q_EMIT buffering_info(double(status));
}

void TuvoRendererAdaptor::scanningInfoSlot(float status)
{
    Q_EMIT scanning_info(double(status));
}
