#include "TuvoRendererAdaptor.h"

#include "TuvoMediaInfoDBus.h"
#include "TuvoRendererLogging.h"

#include <TuvoBusText.h>
#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>
#include <TuvoRendererWire.h>
#include <TuvoReplyQueue.h>

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

// A D-Bus string ends at its first NUL: a text holding one would reach clients as
// another text, so what holds one is not sent.
bool cutOnTheBus(const char *what, const QVariantList &values)
{
    for (const QVariant &value : values) {
        if (TuvoBusText::holdsNul(value)) {
            qCWarning(lcTuvoRenderer) << what << "not sent, a text holds a NUL character";
            return true;
        }
    }
    return false;
}

QDBusMessage cutAnswerError(const QDBusMessage &call)
{
    return call.createErrorReply(QDBusError::Failed,
                                 QStringLiteral("The answer holds a NUL character, D-Bus would cut it"));
}

// Sends the replies of one query kind; what cannot be sent is logged by its kind.
TuvoReplyQueue::Sink querySink(const char *answerFailure, const char *refusalFailure)
{
    return [answerFailure, refusalFailure](const QDBusMessage &call, const QDBusMessage &reply) {
        if (TuvoReplyQueue::sendOnSessionBus(reply))
            return;
        if (reply.type() != QDBusMessage::ErrorMessage) {
            qWarning() << answerFailure;
            // An answer that cannot be marshalled still ends the call, at once, as an
            // extension read does.
            TuvoReplyQueue::sendOnSessionBus(call.createErrorReply(
                QDBusError::Failed, QStringLiteral("The answer cannot be sent over D-Bus")));
        } else if (reply.errorName() == TuvoRendererAdaptor::CancelledErrorName) {
            qWarning() << "Could not send error reply!";
        } else {
            qWarning() << refusalFailure;
        }
    };
}
} // namespace

TuvoRendererAdaptor::TuvoRendererAdaptor(TuvoRenderer *renderer)
    : QDBusAbstractAdaptor(renderer)
    , renderer(renderer)
    , registry(TuvoRegistry::instance())
    , positionCalls(newQueue(TuvoRendererPolicy::Position, [this] { return askPosition(); },
                             QStringLiteral("failed to get position")))
    , statusCalls(newQueue(TuvoRendererPolicy::Status, [this] { return askStatus(); },
                           QStringLiteral("failed to get status")))
    , mediaInfoCalls(newQueue(TuvoRendererPolicy::MediaInfo, [this] { return askMediaInfo(); },
                              QStringLiteral("failed to get media info")))
{
    TuvoMediaInfoDBusStruct::registerMetaType();
    positionCalls->setSink(querySink("Could not send getPosition reply!", "Could not send error reply!"));
    statusCalls->setSink(querySink("Could not send getStatus reply!", "Could not send error reply!"));
    mediaInfoCalls->setSink(querySink("Could not send getCurrentMediaInfo reply!",
                                      "TuvoRendererAdaptor::doGetCurrentMediaInfo failed to send error reply"));

    connect(renderer, &TuvoRenderer::stateChanged, this,
            &TuvoRendererAdaptor::rendererStateChangedSlot);
    connect(renderer, &TuvoRenderer::mediaChanged, this,
            &TuvoRendererAdaptor::rendererMediaChangedSlot);
    connect(renderer, &TuvoRenderer::playbackCompleted, this,
            &TuvoRendererAdaptor::playback_completed);
    connect(renderer, &TuvoRenderer::playlistChanged, this,
            &TuvoRendererAdaptor::rendererPlaylistChangedSlot);
    connect(renderer, &TuvoRenderer::metadataChanged, this,
            &TuvoRendererAdaptor::rendererMetadataChangedSlot);
    connect(renderer, &TuvoRenderer::bufferingInfo, this, &TuvoRendererAdaptor::bufferingInfoSlot);
    connect(renderer, &TuvoRenderer::scanningInfo, this, &TuvoRendererAdaptor::scanningInfoSlot);
    connect(renderer, &TuvoRenderer::error, this, &TuvoRendererAdaptor::rendererError);
}

TuvoRendererAdaptor::~TuvoRendererAdaptor() = default;

TuvoReplyQueue *TuvoRendererAdaptor::newQueue(TuvoRendererPolicy::Query query,
                                              std::function<bool()> ask, const QString &refusal)
{
    const auto answering = TuvoRendererPolicy::answersAll(query) ? TuvoReplyQueue::AnswerAll
                                                                 : TuvoReplyQueue::AnswerOldest;
    return new TuvoReplyQueue(answering, std::move(ask), refusal, this);
}

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
    policy.assigned(playlist != nullptr);
    if (!renderer->assignPlaylist(playlist))
        qWarning() << "TuvoRendererAdaptor: assigning playlist fails.";
}

void TuvoRendererAdaptor::next()
{
    qDebug() << "void TuvoRendererAdaptor::next()";
    if (!navigate(TuvoRendererPolicy::Next, [this] { return renderer->next(); }))
        qWarning() << "TuvoRendererAdaptor: playlist next fails.";
}

void TuvoRendererAdaptor::previous()
{
    qDebug() << "void TuvoRendererAdaptor::previous()";
    if (!navigate(TuvoRendererPolicy::Previous, [this] { return renderer->previous(); }))
        qWarning() << "TuvoRendererAdaptor: playlist previous fails.";
}

void TuvoRendererAdaptor::goto_index(uint index)
{
    if (!navigate(TuvoRendererPolicy::GotoIndex, [this, index] { return renderer->gotoIndex(index); }))
        qWarning() << "TuvoRendererAdaptor: playlist goto_index fails.";
}

bool TuvoRendererAdaptor::navigate(TuvoRendererPolicy::Navigation navigation,
                                   const std::function<bool()> &command)
{
    cancel(TuvoRendererPolicy::cancelledBy(navigation));
    return !policy.reachesRenderer(navigation) || command();
}

// Queries ----------------------------------------------------------------------------

void TuvoRendererAdaptor::get_position(const QDBusMessage &message)
{
    positionCalls->add(message);
}

void TuvoRendererAdaptor::get_status(const QDBusMessage &message)
{
    statusCalls->add(message);
}

bool TuvoRendererAdaptor::askPosition()
{
    if (renderer->getPosition(this, PositionCallback))
        return true;
    qCWarning(lcTuvoRenderer) << "renderer" << renderer->uuid() << "refuses getPosition";
    return false;
}

bool TuvoRendererAdaptor::askStatus()
{
    if (renderer->getStatus(this, StatusCallback))
        return true;
    qCWarning(lcTuvoRenderer) << "renderer" << renderer->uuid() << "refuses getStatus";
    return false;
}

void TuvoRendererAdaptor::getPositionCallback(uint position)
{
    const bool answered = positionCalls->answer([position](const QDBusMessage &message) {
        return message.createReply(QVariant::fromValue(position));
    });
    if (!answered)
        qWarning() << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getPositionCallback()";
}

void TuvoRendererAdaptor::getStatusCallback(QString playlistId, uint playlistIndex, int state,
                                            QString objectId)
{
    const QVariantList arguments{playlistId, QVariant::fromValue(playlistIndex), state, objectId};
    const bool cut = cutOnTheBus("status answer", arguments);
    const bool answered = statusCalls->answer([&](const QDBusMessage &message) {
        return cut ? cutAnswerError(message) : message.createReply(arguments);
    });
    if (!answered)
        qWarning() << "There are no D-Bus messages to reply to! TuvoRendererAdaptor::getStatusCallback()";
}

void TuvoRendererAdaptor::get_current_media_info(const QString &metadataKey,
                                                 const QDBusMessage &message)
{
    qDebug() << "void TuvoRendererAdaptor::get_current_media_info(const QString&, const QDBusMessage&)"
             << "metadataKey:" << metadataKey;
    mediaInfoCalls->add(message);
}

bool TuvoRendererAdaptor::askMediaInfo()
{
    // Always the whole record: the key of each call is applied to the answer.
    return renderer->getCurrentMediaInfo(this, MediaInfoCallback, QString());
}

void TuvoRendererAdaptor::getCurrentMediaInfoCallback(const TuvoMediaInfo &mediaInfo)
{
    qDebug() << "void TuvoRendererAdaptor::getCurrentMediaInfoCallback(const TuvoMediaInfo&)";
    const bool answered = mediaInfoCalls->answer(
        [&](const QDBusMessage &message) { return mediaInfoReply(message, mediaInfo); });
    if (!answered)
        qWarning() << "There are no D-Bus messages to reply to!";
}

QDBusMessage TuvoRendererAdaptor::mediaInfoReply(const QDBusMessage &message,
                                                 const TuvoMediaInfo &mediaInfo)
{
    qDebug() << "void TuvoRendererAdaptor::sendMediaInfoReply(QDBusMessage, const TuvoMediaInfo&)";
    const QString key =
        message.arguments().isEmpty() ? QString() : message.arguments().first().toString();
    TuvoMediaInfo selected(mediaInfo.uuid());
    if (key.isEmpty())
        selected = mediaInfo;
    else
        selected.setMetaData(key, mediaInfo.metaData(key));
    const TuvoMediaInfoDBusStruct wire = TuvoMediaInfoDBus::toWire(selected);
    QVariantList texts{wire.uuid};
    for (auto it = wire.metadata.constBegin(); it != wire.metadata.constEnd(); ++it)
        texts << it.key() << QVariant(it.value());
    if (cutOnTheBus("media info answer", texts))
        return cutAnswerError(message);
    return message.createReply(QVariant::fromValue(wire));
}

void TuvoRendererAdaptor::cancel(const QList<TuvoRendererPolicy::Query> &queries)
{
    if (queries.size() == 3) // the debug log names only the ending of every query
        qDebug() << "void TuvoRendererAdaptor::cancelMessages(bool)";
    // A renderer request that is still out stays out; its answer serves whatever call
    // is waiting by then.
    TuvoReplyQueue *const queues[] = {positionCalls, statusCalls, mediaInfoCalls};
    for (TuvoRendererPolicy::Query query : queries)
        queues[query]->failAll(CancelledErrorName, CancelledErrorText);
}

// Renderer signals -------------------------------------------------------------------

void TuvoRendererAdaptor::rendererError(const TuvoError &tuvoError)
{
    qDebug() << "TuvoRendererAdaptor::rendererError" << tuvoError.code() << ", "
             << tuvoError.message();
    cancel(TuvoRendererPolicy::cancelledByError(tuvoError.code()));
    if (!cutOnTheBus("error", {tuvoError.message()}))
        Q_EMIT error(tuvoError.code(), tuvoError.message());
}

void TuvoRendererAdaptor::rendererStateChangedSlot(TuvoRenderer::State state)
{
    Q_EMIT state_changed(int(state));
}

void TuvoRendererAdaptor::rendererMediaChangedSlot(int index, const TuvoContent &content)
{
    // A cut id could name another item.
    if (!cutOnTheBus("media_changed", {content.uuid()}))
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
    if (!cutOnTheBus("playlist_changed", {playlistId}))
        Q_EMIT playlist_changed(playlistId);
}

void TuvoRendererAdaptor::rendererMetadataChangedSlot(const QString &key, const QList<QVariant> &values)
{
    // Values the bus cannot carry at all are dropped by the bus library, with its warning.
    if (!cutOnTheBus("metadata_changed", {key, QVariant(values)}))
        Q_EMIT metadata_changed(key, values);
}

void TuvoRendererAdaptor::bufferingInfoSlot(float status)
{
    Q_EMIT buffering_info(double(status));
}

void TuvoRendererAdaptor::scanningInfoSlot(float status)
{
    Q_EMIT scanning_info(double(status));
}
