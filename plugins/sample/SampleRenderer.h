#ifndef SAMPLERENDERER_H
#define SAMPLERENDERER_H

#include <TuvoRenderer.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class TuvoPlaylist;

/*!
 * The sample renderer: "plays" the catalogue's tracks (uri "sample:///track_N") on a
 * clock of its own, with everything a real renderer reports: state and media changes,
 * metadata, buffering, completion, playlists, and errors for what it cannot play.
 * Queries are answered through the event loop. Properties: "volume" (int 0-100) and
 * "mute" (bool), both writable.
 */
class SampleRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    explicit SampleRenderer(QObject *parent = nullptr);

    bool play() override;
    bool playUri(const QUrl &url, uint startPosition) override;
    bool playUriWithContentType(const QUrl &url, const QString &contentType) override;
    bool stop() override;
    bool pause() override;
    bool pauseAt(uint position) override;
    bool resume() override;
    bool setPosition(int seconds, int mode) override;
    bool assignPlaylist(TuvoPlaylist *playlist) override;
    bool next() override;
    bool previous() override;
    bool gotoIndex(uint index) override;
    bool getStatus(QObject *receiver, const char *member) override;
    bool getPosition(QObject *receiver, const char *member) override;
    bool getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key) override;

protected:
    bool acceptPropertyWrite(const QString &name, const QVariant &value) override;

private Q_SLOTS:
    void handleTick();

private:
    bool startTrack(const TuvoContent &track, int playlistIndex, uint startPosition);
    void setState(State state);
    uint position() const;
    void setPositionMs(qint64 ms);
    void reportError(int code, const QString &message);
    void playbackFinished();

    State m_state = Stopped;
    TuvoContent m_current;
    int m_playlistIndex = -1;
    QPointer<TuvoPlaylist> m_playlist;
    qint64 m_positionMs = 0; // position when m_clock was last started or stopped
    QElapsedTimer m_clock;   // runs while playing
    qint64 m_pauseAtMs = -1;
    QTimer m_tick;
};

#endif
