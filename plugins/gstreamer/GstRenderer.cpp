#include "GstRenderer.h"

#include "GstErrorMap.h"
#include "GstSinkPolicy.h"
#include "GstTagMap.h"

#include <TuvoPlaylist.h>

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

Q_LOGGING_CATEGORY(lcGstRenderer, "tuvo.plugin.gstreamer", QtWarningMsg)

const char *const GstRenderer::Uuid = "gstreamer_renderer";

namespace {
const QString AudioSinkProperty = QStringLiteral("audio_sink");
const QString VideoSinkProperty = QStringLiteral("video_sink");
const QString VolumeProperty = QStringLiteral("volume");
const QString MuteProperty = QStringLiteral("mute");

// A sink from a gst-launch description; the automatic one when the description is
// empty or wrong; and a sink that still runs the clock when no device is usable, so
// that playback, positions and completion work on a machine without sound.
GstElement *makeSink(const QString &description, const char *automatic)
{
    if (!description.trimmed().isEmpty()) {
        GError *error = nullptr;
        GstElement *sink = gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &error);
        if (sink)
            return sink;
        qCWarning(lcGstRenderer) << "sink" << description << "unusable:"
                                 << (error ? error->message : "") << "- using" << automatic;
        g_clear_error(&error);
    }
    GstElement *sink = gst_element_factory_make(automatic, nullptr);
    if (sink && gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE)
        return sink;
    if (sink) {
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
    }
    qCWarning(lcGstRenderer) << automatic << "found no device, playing to a clocked fakesink";
    GstElement *fake = gst_element_factory_make("fakesink", nullptr);
    g_object_set(fake, "sync", TRUE, nullptr);
    return fake;
}

// Why a local file cannot be played, or NoError. Only regular files are handed to
// GStreamer: opening a FIFO blocks until someone writes to it, and a device such as
// /dev/zero never ends. Safe on any thread.
int localFileProblem(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists())
        return TuvoError::ErrorResourceNotFound;
    if (file.isDir())
        return TuvoError::ErrorResourceIsContainer;
    if (!file.isReadable())
        return TuvoError::ErrorResourceUnreadable;
    if (!file.isFile())
        return TuvoError::ErrorUnsupportedMedia;
    return TuvoError::NoError;
}

// Why a uri cannot be played, or NoError: local files as above, and "fd://N", which
// would have GStreamer read this process's own descriptors, the bus connection among
// them. Safe on any thread.
int uriProblem(const QUrl &url)
{
    if (url.isLocalFile())
        return localFileProblem(url.toLocalFile());
    if (url.scheme().compare(QLatin1String("fd"), Qt::CaseInsensitive) == 0)
        return TuvoError::ErrorUnsupportedMedia;
    return TuvoError::NoError;
}

// The uri of the item a message is about: playbin decodes each item in a uridecodebin
// of its own, and the message comes from it or from an element inside it.
QByteArray itemUri(GstMessage *message)
{
    QByteArray uri;
    GstObject *object = GST_MESSAGE_SRC(message);
    if (object)
        gst_object_ref(object);
    while (object && uri.isNull()) {
        GstElementFactory *factory =
            GST_IS_ELEMENT(object) ? gst_element_get_factory(GST_ELEMENT(object)) : nullptr;
        if (factory && g_str_has_prefix(GST_OBJECT_NAME(factory), "uridecodebin")) {
            gchar *value = nullptr;
            g_object_get(object, "uri", &value, nullptr);
            uri = QByteArray(value ? value : "");
            g_free(value);
        }
        GstObject *parent = gst_object_get_parent(object);
        gst_object_unref(object);
        object = parent;
    }
    if (object)
        gst_object_unref(object);
    return uri;
}

// Plain paths are local files; everything else is a uri as given.
QUrl normalizedUrl(const QUrl &url)
{
    if (url.scheme().isEmpty() && url.path().startsWith(QLatin1Char('/')))
        return QUrl::fromLocalFile(url.path());
    return url;
}
} // namespace

GstRenderer::GstRenderer(const GstRendererConfig &config, QObject *parent)
    : TuvoRenderer(QString::fromLatin1(Uuid), QStringLiteral("GStreamer"),
                   QStringLiteral("GStreamer"), parent)
{
    declareProperty(AudioSinkProperty, config.audioSink);
    declareProperty(VideoSinkProperty, config.videoSink);
    declareProperty(VolumeProperty, 100);
    declareProperty(MuteProperty, false);
    connect(this, &TuvoMediaObject::tuvoPropertyChanged, this, &GstRenderer::handlePropertyChanged);
    m_pauseAtTimer.setSingleShot(true);
    connect(&m_pauseAtTimer, &QTimer::timeout, this, &GstRenderer::checkPauseAt);
    m_endWatch.setInterval(250);
    connect(&m_endWatch, &QTimer::timeout, this, &GstRenderer::checkEndBeforeFailedEntry);

    m_playbin = gst_element_factory_make("playbin", "tuvo-playbin");
    if (!m_playbin) {
        qCWarning(lcGstRenderer) << "GStreamer has no playbin: nothing can be played";
        return;
    }
    gst_object_ref_sink(m_playbin);
    applySinks();
    m_bus = gst_element_get_bus(m_playbin);
    GPollFD descriptor;
    gst_bus_get_pollfd(m_bus, &descriptor);
    m_busNotifier = new QSocketNotifier(descriptor.fd, QSocketNotifier::Read, this);
    connect(m_busNotifier, &QSocketNotifier::activated, this, &GstRenderer::handleBusMessages);
    m_aboutToFinishHandler =
        g_signal_connect(m_playbin, "about-to-finish", G_CALLBACK(&GstRenderer::aboutToFinish), this);
    gst_element_set_state(m_playbin, GST_STATE_READY);
}

GstRenderer::~GstRenderer()
{
    if (m_playbin) {
        g_signal_handler_disconnect(m_playbin, m_aboutToFinishHandler);
        // Joins the streaming threads: none of this plugin's code runs after it.
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        delete m_busNotifier;
        gst_bus_set_flushing(m_bus, TRUE);
        gst_object_unref(m_bus);
        gst_object_unref(m_playbin);
    }
    if (m_tags)
        gst_tag_list_unref(m_tags);
}

void GstRenderer::applySinks()
{
    g_object_set(m_playbin, "audio-sink",
                 makeSink(declaredPropertyValue(AudioSinkProperty).toString(), "autoaudiosink"),
                 "video-sink",
                 makeSink(declaredPropertyValue(VideoSinkProperty).toString(), "autovideosink"),
                 nullptr);
    m_sinksChanged = false;
}

bool GstRenderer::acceptPropertyWrite(const QString &name, const QVariant &value)
{
    if (name == VolumeProperty)
        return value.toInt() >= 0 && value.toInt() <= 100;
    if (name == AudioSinkProperty || name == VideoSinkProperty) {
        QString problem;
        if (!GstSinkPolicy::accepts(value.toString(),
                                    name == AudioSinkProperty ? GstSinkPolicy::Audio : GstSinkPolicy::Video,
                                    &problem)) {
            qCWarning(lcGstRenderer) << name << "refused:" << problem;
            return false;
        }
    }
    return true;
}

void GstRenderer::handlePropertyChanged(const QString &name, const QVariant &value)
{
    if (!m_playbin)
        return;
    if (name == VolumeProperty)
        g_object_set(m_playbin, "volume", value.toInt() / 100.0, nullptr);
    else if (name == MuteProperty)
        g_object_set(m_playbin, "mute", gboolean(value.toBool()), nullptr);
    else if (name == AudioSinkProperty || name == VideoSinkProperty)
        m_sinksChanged = true; // sinks change while nothing plays
}

void GstRenderer::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
    checkPauseAt();
}

void GstRenderer::fail(int code, const QString &message)
{
    qCDebug(lcGstRenderer) << "error" << code << message;
    m_failed = true;
    m_target = Stopped;
    m_pauseAtMs = -1;
    setState(Error);
    Q_EMIT error(TuvoError(code, message));
}

void GstRenderer::resetStream()
{
    gst_element_set_state(m_playbin, GST_STATE_READY);
    // What the old stream still had to say would be taken for news of the next one.
    while (GstMessage *stale = gst_bus_pop(m_bus))
        gst_message_unref(stale);
    if (m_sinksChanged) {
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        applySinks();
    }
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_upcoming.clear();
        m_switches.clear();
    }
    m_awaitingFirstStart = false;
    if (m_tags) {
        gst_tag_list_unref(m_tags);
        m_tags = nullptr;
    }
    m_metaData.clear();
    m_durationMs = -1;
    m_prerolled = false;
    m_failed = false;
    m_pauseAtMs = -1;
    m_pauseAtTimer.stop();
    m_failedNext = {QByteArray(), -1};
    m_endWatch.stop();
}

bool GstRenderer::playItem(const QUrl &requested, int index, uint startPosition, const QVariantMap &meta)
{
    if (!m_playbin)
        return false;
    const QUrl url = normalizedUrl(requested);
    const QString uri = url.toString(QUrl::FullyEncoded);
    if (uri.isEmpty()) {
        fail(TuvoError::ErrorResourceNotFound, QStringLiteral("nothing to play: the uri is empty"));
        return false;
    }
    // Local files (and what is never a medium) are checked here, quickly and with a
    // clear word for each case; GStreamer's own errors cover everything else.
    {
        const int code = uriProblem(url);
        if (code != TuvoError::NoError) {
            resetStream();
            m_uri = uri;
            m_index = index;
            // A playlist entry is announced all the same: the error is about it.
            if (index >= 0) {
                QVariantMap content = meta;
                content.insert(QStringLiteral("uri"), uri);
                Q_EMIT mediaChanged(index, TuvoContent(uri, content));
            }
            fail(code, GstErrorMap::message(code, url.isLocalFile() ? url.toLocalFile() : uri, QString()));
            return false;
        }
    }

    resetStream();
    setState(Stopped);
    m_uri = uri;
    m_index = index;
    m_startMs = qint64(startPosition) * 1000;
    m_target = Playing;
    m_awaitingFirstStart = true;
    g_object_set(m_playbin, "uri", uri.toUtf8().constData(), nullptr);
    QVariantMap content = meta;
    content.insert(QStringLiteral("uri"), uri);
    Q_EMIT mediaChanged(index, TuvoContent(uri, content));
    queueNext();
    // With a start position the stream prerolls paused first, so that the first
    // thing heard is the right place.
    if (gst_element_set_state(m_playbin, m_startMs > 0 ? GST_STATE_PAUSED : GST_STATE_PLAYING)
        == GST_STATE_CHANGE_FAILURE) {
        qCDebug(lcGstRenderer) << "state change failed for" << uri << "- the bus tells why";
    }
    return true;
}

bool GstRenderer::playUri(const QUrl &url, uint startPosition)
{
    return playItem(url, -1, startPosition, QVariantMap());
}

bool GstRenderer::playUriWithContentType(const QUrl &url, const QString &contentType)
{
    const QString type = contentType.trimmed().toLower();
    const bool playable = type.isEmpty() || type.startsWith(QLatin1String("audio/"))
                          || type.startsWith(QLatin1String("video/"))
                          || type == QLatin1String("application/ogg")
                          || type == QLatin1String("application/octet-stream");
    if (!playable) {
        fail(TuvoError::ErrorUnsupportedMedia,
             QStringLiteral("cannot play content of type \"%1\"").arg(contentType));
        return false;
    }
    return playUri(url, 0);
}

bool GstRenderer::play()
{
    if (m_target == Playing)
        return true;
    if (m_target == Paused)
        return resume();
    // A playlist assigned since the last item starts from its first entry.
    if (m_playlist && m_index < 0 && m_playlist->count() > 0)
        return gotoIndex(0);
    if (!m_uri.isEmpty())
        return playItem(QUrl(m_uri), m_index, 0, entryMetaData(m_index));
    if (m_playlist && m_playlist->count() > 0)
        return gotoIndex(0);
    return false;
}

bool GstRenderer::stop()
{
    if (!m_playbin)
        return false;
    resetStream();
    m_target = Stopped;
    setState(Stopped);
    return true;
}

bool GstRenderer::pause()
{
    if (m_target != Playing)
        return false;
    m_target = Paused;
    gst_element_set_state(m_playbin, GST_STATE_PAUSED);
    return true;
}

bool GstRenderer::resume()
{
    if (m_target != Paused)
        return false;
    m_target = Playing;
    gst_element_set_state(m_playbin, GST_STATE_PLAYING);
    return true;
}

bool GstRenderer::pauseAt(uint position)
{
    if (m_target != Playing && m_target != Paused)
        return false;
    m_pauseAtMs = qint64(position) * 1000;
    checkPauseAt();
    return true;
}

void GstRenderer::checkPauseAt()
{
    if (m_pauseAtMs < 0 || m_state != Playing || m_target != Playing) {
        m_pauseAtTimer.stop();
        return;
    }
    const qint64 remaining = m_pauseAtMs - positionMs();
    if (remaining <= 0) {
        m_pauseAtMs = -1;
        pause();
        return;
    }
    // Looked at again when the time has come: a seek may have moved it meanwhile.
    m_pauseAtTimer.start(int(qMin<qint64>(remaining, 1000)));
}

bool GstRenderer::setPosition(int seconds, int mode)
{
    if (!m_playbin || m_uri.isEmpty() || m_target == Stopped)
        return false;
    const qint64 now = positionMs();
    qint64 target = 0;
    switch (mode) {
    case SeekAbsolute:
        target = qint64(seconds) * 1000;
        break;
    case SeekForward:
        target = now + qint64(seconds) * 1000;
        break;
    case SeekBackward:
        target = now - qint64(seconds) * 1000;
        break;
    default:
        return false;
    }
    target = qMax<qint64>(0, target);
    if (m_durationMs >= 0)
        target = qMin(target, m_durationMs);
    if (!m_prerolled) {
        m_startMs = target; // sought once the stream is ready
        return true;
    }
    const bool sought = gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                                target * GST_MSECOND);
    checkPauseAt();
    return sought;
}

qint64 GstRenderer::positionMs() const
{
    if (!m_playbin || m_state == Stopped || m_state == Error)
        return 0;
    gint64 position = 0;
    if (!m_prerolled || !gst_element_query_position(m_playbin, GST_FORMAT_TIME, &position))
        return m_startMs;
    return position / GST_MSECOND;
}

bool GstRenderer::assignPlaylist(TuvoPlaylist *playlist)
{
    if (m_playlist)
        disconnect(m_playlist, nullptr, this, nullptr);
    m_playlist = playlist;
    m_index = -1;
    if (playlist)
        connect(playlist, &TuvoPlaylist::entriesChanged, this, &GstRenderer::queueNext);
    queueNext();
    Q_EMIT playlistChanged(playlist);
    return playlist != nullptr;
}

QVariantMap GstRenderer::entryMetaData(int index) const
{
    if (!m_playlist || index < 0)
        return QVariantMap();
    return m_playlist->entry(index).metaData();
}

bool GstRenderer::gotoIndex(uint index)
{
    if (!m_playlist || index >= uint(m_playlist->count()))
        return false;
    const TuvoContent entry = m_playlist->entry(int(index));
    return playItem(QUrl(entry.uuid()), int(index), 0, entry.metaData());
}

bool GstRenderer::next()
{
    if (!m_playlist || m_index + 1 >= m_playlist->count())
        return false;
    return gotoIndex(uint(m_index + 1));
}

bool GstRenderer::previous()
{
    if (!m_playlist || m_index <= 0)
        return false;
    return gotoIndex(uint(m_index - 1));
}

void GstRenderer::queueNext()
{
    std::lock_guard<std::mutex> lock(m_queueMutex);
    m_upcoming.clear();
    const int current = m_switches.isEmpty() ? m_index : m_switches.last().second;
    if (!m_playlist || current < 0)
        return;
    for (int index = current + 1; index < m_playlist->count(); ++index)
        m_upcoming.append({normalizedUrl(QUrl(m_playlist->entry(index).uuid())).toEncoded(), index});
}

void GstRenderer::aboutToFinish(GstElement *playbin, gpointer self)
{
    // A streaming thread: only the queue is touched, under its mutex.
    auto *renderer = static_cast<GstRenderer *>(self);
    std::lock_guard<std::mutex> lock(renderer->m_queueMutex);
    if (renderer->m_upcoming.isEmpty())
        return;
    const QUrl url = QUrl::fromEncoded(renderer->m_upcoming.first().first);
    if (uriProblem(url) != TuvoError::NoError) {
        // Not handed over: the current entry plays to its end, and moving on to this
        // one then reports what is wrong with it.
        renderer->m_upcoming.clear();
        return;
    }
    const QPair<QByteArray, int> next = renderer->m_upcoming.takeFirst();
    g_object_set(playbin, "uri", next.first.constData(), nullptr);
    renderer->m_switches.append(next);
}

void GstRenderer::handleBusMessages()
{
    while (GstMessage *message = gst_bus_pop(m_bus)) {
        handleMessage(message);
        gst_message_unref(message);
    }
}

void GstRenderer::handleMessage(GstMessage *message)
{
    const bool fromPlaybin = GST_MESSAGE_SRC(message) == GST_OBJECT(m_playbin);
    qCDebug(lcGstRenderer) << "bus:" << GST_MESSAGE_TYPE_NAME(message) << "from"
                           << GST_OBJECT_NAME(GST_MESSAGE_SRC(message));
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        handleError(message);
        break;
    case GST_MESSAGE_WARNING: {
        GError *warning = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_warning(message, &warning, &debug);
        qCDebug(lcGstRenderer) << "warning:" << warning->message << debug;
        g_clear_error(&warning);
        g_free(debug);
        break;
    }
    case GST_MESSAGE_EOS:
        handleEndOfStream();
        break;
    case GST_MESSAGE_STATE_CHANGED: {
        if (!fromPlaybin || m_failed)
            break;
        GstState old, current, pending;
        gst_message_parse_state_changed(message, &old, &current, &pending);
        if (current == GST_STATE_PLAYING && m_target == Playing)
            setState(Playing);
        else if (current == GST_STATE_PAUSED && pending == GST_STATE_VOID_PENDING && m_target == Paused)
            setState(Paused);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (fromPlaybin && !m_prerolled && !m_failed)
            handlePrerolled();
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        updateDuration();
        break;
    case GST_MESSAGE_TAG:
        handleTags(message);
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        Q_EMIT bufferingInfo(float(percent) / 100.0f);
        // Streams from the network wait for their buffer to fill before they play on.
        if (percent < 100 && m_target == Playing && m_state == Playing) {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            setState(Buffering);
        } else if (percent >= 100 && m_target == Playing && m_state == Buffering) {
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        }
        break;
    }
    case GST_MESSAGE_STREAM_START:
        handleStreamStart();
        break;
    default:
        break;
    }
}

void GstRenderer::handlePrerolled()
{
    m_prerolled = true;
    updateDuration();
    if (m_startMs > 0) {
        if (m_durationMs >= 0)
            m_startMs = qMin(m_startMs, m_durationMs);
        gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                                GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                m_startMs * GST_MSECOND);
        m_startMs = 0;
        if (m_target == Playing)
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
    }
}

void GstRenderer::updateDuration()
{
    gint64 duration = -1;
    if (!gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &duration) || duration < 0)
        return;
    const qint64 durationMs = duration / GST_MSECOND;
    const bool secondsChanged = m_durationMs < 0 || (m_durationMs + 500) / 1000 != (durationMs + 500) / 1000;
    m_durationMs = durationMs;
    if (secondsChanged)
        Q_EMIT metadataChanged(QStringLiteral("duration"), {uint((durationMs + 500) / 1000)});
}

void GstRenderer::handleTags(GstMessage *message)
{
    GstTagList *tags = nullptr;
    gst_message_parse_tag(message, &tags);
    if (!tags)
        return;
    if (!m_tags)
        m_tags = gst_tag_list_new_empty();
    gst_tag_list_insert(m_tags, tags, GST_TAG_MERGE_REPLACE);
    gst_tag_list_unref(tags);
    // Streams repeat their tags many times over; only what changed is news.
    const TuvoMediaInfo::MetaData merged = GstTagMap::toMetaData(m_tags);
    QStringList changed;
    for (auto it = merged.constBegin(); it != merged.constEnd(); ++it) {
        if (m_metaData.value(it.key()) != it.value())
            changed.append(it.key());
    }
    m_metaData = merged;
    for (const QString &key : qAsConst(changed))
        Q_EMIT metadataChanged(key, m_metaData.value(key));
}

void GstRenderer::handleStreamStart()
{
    if (m_awaitingFirstStart) {
        m_awaitingFirstStart = false; // the stream of playItem(), announced already
        return;
    }
    QByteArray uri;
    int index = -1;
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        if (m_switches.isEmpty())
            return;
        uri = m_switches.first().first;
        index = m_switches.first().second;
        m_switches.removeFirst();
    }
    // The previous entry ended and the queued one follows it without a gap.
    Q_EMIT playbackCompleted();
    if (m_tags) {
        gst_tag_list_unref(m_tags);
        m_tags = nullptr;
    }
    m_metaData.clear();
    m_durationMs = -1;
    m_pauseAtMs = -1;
    m_uri = QString::fromUtf8(uri);
    m_index = index;
    QVariantMap content = entryMetaData(index);
    content.insert(QStringLiteral("uri"), m_uri);
    Q_EMIT mediaChanged(index, TuvoContent(m_uri, content));
    updateDuration();
}

void GstRenderer::handleEndOfStream()
{
    // The end of the last entry: a queued one would have started instead. What is
    // known of the media stays until the next one starts.
    gst_element_set_state(m_playbin, GST_STATE_READY);
    {
        std::lock_guard<std::mutex> lock(m_queueMutex);
        m_upcoming.clear();
        m_switches.clear();
    }
    m_awaitingFirstStart = false;
    m_prerolled = false;
    m_pauseAtMs = -1;
    m_failedNext = {QByteArray(), -1};
    m_endWatch.stop();
    m_target = Stopped;
    setState(Stopped);
    Q_EMIT playbackCompleted();
    next();
}

bool GstRenderer::takeFailedSwitch(GstMessage *message)
{
    const QByteArray uri = itemUri(message);
    if (uri.isEmpty())
        return false;
    if (uri == m_failedNext.first)
        return true; // one more word on the failure already taken
    std::lock_guard<std::mutex> lock(m_queueMutex);
    for (int i = 0; i < m_switches.size(); ++i) {
        if (m_switches.at(i).first != uri)
            continue;
        m_failedNext = m_switches.at(i);
        m_switches.erase(m_switches.begin() + i, m_switches.end());
        m_upcoming.clear();
        return true;
    }
    return false;
}

void GstRenderer::checkEndBeforeFailedEntry()
{
    if (m_failedNext.second < 0) {
        m_endWatch.stop();
        return;
    }
    if (m_target != Playing) {
        m_lastWatchedMs = -1; // waits while paused
        return;
    }
    // playbin waits for the failed entry's stream for ever and sends no end of stream:
    // the current entry is over when its position reaches the end or stands still. Its
    // source has been read to the end already, so nothing is left to buffer, and a
    // short entry may even end before the pipeline reports that it plays.
    const qint64 position = positionMs();
    const bool ended = (m_durationMs >= 0 && position >= m_durationMs) || position == m_lastWatchedMs;
    m_lastWatchedMs = position;
    if (!ended)
        return;
    const int index = m_failedNext.second;
    m_failedNext = {QByteArray(), -1};
    m_endWatch.stop();
    // Elements that failed keep their state until NULL.
    gst_element_set_state(m_playbin, GST_STATE_NULL);
    m_target = Stopped;
    setState(Stopped);
    Q_EMIT playbackCompleted();
    // Played on its own, the entry fails as itself: its media_changed, then its error.
    gotoIndex(uint(index));
}

void GstRenderer::handleError(GstMessage *message)
{
    GError *gerror = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &gerror, &debug);
    const bool already = m_failed;
    if (!already && takeFailedSwitch(message)) {
        // The next entry, queued to follow without a gap, cannot be played: the one
        // playing now still plays to its end.
        qCDebug(lcGstRenderer) << "queued entry failed:" << gerror->message;
        g_clear_error(&gerror);
        g_free(debug);
        m_lastWatchedMs = -1;
        m_endWatch.start();
        return;
    }
    if (!already) {
        const QUrl url(m_uri);
        const bool isDirectory = url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir();
        const int code = GstErrorMap::code(gerror->domain, gerror->code, isDirectory);
        qCDebug(lcGstRenderer) << "GStreamer error" << gerror->message << debug;
        const QString message = GstErrorMap::message(
            code, url.isLocalFile() ? url.toLocalFile() : m_uri, QString::fromUtf8(gerror->message));
        g_clear_error(&gerror);
        g_free(debug);
        // Several elements may report the one failure: only the first one counts.
        // Elements that failed keep their state until NULL: a READY pipeline would
        // fail the next uri the same way.
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        {
            std::lock_guard<std::mutex> lock(m_queueMutex);
            m_upcoming.clear();
            m_switches.clear();
        }
        m_awaitingFirstStart = false;
        fail(code, message);
        return;
    }
    g_clear_error(&gerror);
    g_free(debug);
}

bool GstRenderer::getStatus(QObject *receiver, const char *member)
{
    const TuvoCallback answer = statusCallback(receiver, member);
    if (!answer.isValid())
        return false;
    QMetaObject::invokeMethod(this, [this, answer] {
        answer.invoke(m_playlist ? m_playlist->id() : QString(), uint(qMax(m_index, 0)),
                      int(m_state), m_uri);
    }, Qt::QueuedConnection);
    return true;
}

bool GstRenderer::getPosition(QObject *receiver, const char *member)
{
    const TuvoCallback answer = positionCallback(receiver, member);
    if (!answer.isValid())
        return false;
    QMetaObject::invokeMethod(this, [this, answer] { answer.invoke(uint(positionMs() / 1000)); },
                              Qt::QueuedConnection);
    return true;
}

bool GstRenderer::getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key)
{
    const TuvoCallback answer = mediaInfoCallback(receiver, member);
    if (!answer.isValid() || m_uri.isEmpty())
        return false;
    QMetaObject::invokeMethod(this, [this, answer, key] {
        TuvoMediaInfo::MetaData meta = m_metaData;
        meta.insert(QStringLiteral("uri"), {m_uri});
        if (m_durationMs >= 0)
            meta.insert(QStringLiteral("duration"), {uint((m_durationMs + 500) / 1000)});
        const qint64 position = positionMs();
        meta.insert(QStringLiteral("position"), {uint(position / 1000)});
        meta.insert(QStringLiteral("position_ms"), {qulonglong(position)});
        TuvoMediaInfo info(m_uri);
        if (key.isEmpty())
            info.setMetaData(meta);
        else if (meta.contains(key))
            info.setMetaData(key, meta.value(key));
        answer.invoke(info);
    }, Qt::QueuedConnection);
    return true;
}
