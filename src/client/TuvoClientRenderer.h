#ifndef TUVOCLIENTRENDERER_H
#define TUVOCLIENTRENDERER_H

#include "TuvoClientObject.h"
#include "TuvoClientRendererStatus.h"

#include <TuvoMediaInfoDBusStruct.h>
#include <TuvoRendererWire.h>

class TuvoClientRendererInterface;

/*!
 * A published renderer, seen from a client: every command of
 * com.oxbel.tuvo.renderer, the three queries, and its signals as Qt signals.
 *
 * Commands succeed on the bus whatever the renderer makes of them; what happens shows
 * in the signals. A query that playlist navigation or a renderer error ends arrives
 * as a Cancelled error; a media info the renderer cannot give as Refused. States and
 * seek modes are the numbers of TuvoRendererWire.
 */
class TUVO_CLIENT_EXPORT TuvoClientRenderer : public TuvoClientObject
{
    Q_OBJECT
public:
    using StatusHandler = std::function<void(const TuvoClientError &, const TuvoClientRendererStatus &)>;
    using PositionHandler = std::function<void(const TuvoClientError &, quint32 seconds)>;
    using MediaInfoHandler = std::function<void(const TuvoClientError &, const TuvoMediaInfoDBusStruct &)>;

    explicit TuvoClientRenderer(const TuvoClientObjectInfo &info,
                                const QDBusConnection &connection = QDBusConnection::sessionBus(),
                                QObject *parent = nullptr);

    void play(const ErrorHandler &handler = {});
    void playUri(const QString &url, quint32 startSeconds = 0, const ErrorHandler &handler = {});
    void playUriWithContentType(const QString &url, const QString &contentType,
                                const ErrorHandler &handler = {});
    void stop(const ErrorHandler &handler = {});
    void pause(const ErrorHandler &handler = {});
    void pauseAt(quint32 seconds, const ErrorHandler &handler = {});
    void resume(const ErrorHandler &handler = {});
    void setPosition(qint32 seconds, TuvoRendererWire::SeekMode mode = TuvoRendererWire::SeekAbsolute, const ErrorHandler &handler = {});
    void assignPlaylist(const QString &playlistId, const ErrorHandler &handler = {});
    void next(const ErrorHandler &handler = {});
    void previous(const ErrorHandler &handler = {});
    void gotoIndex(quint32 index, const ErrorHandler &handler = {});

    void getStatus(const StatusHandler &handler);
    void getPosition(const PositionHandler &handler);
    /*! The whole media info for an empty \a key, else the entry of that key. */
    void getCurrentMediaInfo(const QString &key, const MediaInfoHandler &handler);

Q_SIGNALS:
    void stateChanged(int state);
    void mediaChanged(int index, const QString &objectId);
    void playbackCompleted();
    void playlistChanged(const QString &playlistId);
    void metadataChanged(const QString &key, const QVariantList &values);
    void bufferingInfo(double status);
    void scanningInfo(double status);
    void errorOccurred(int code, const QString &message);

protected:
    void dispatchSignal(const QString &interface, const QString &member, const QVariantList &arguments) override;

private:
    void command(const QDBusPendingCall &call, const ErrorHandler &handler);

    TuvoClientRendererInterface *m_calls = nullptr;
};

#endif
