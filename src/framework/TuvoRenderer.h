#ifndef TUVORENDERER_H
#define TUVORENDERER_H

#include "TuvoCallback.h"
#include "TuvoContent.h"
#include "TuvoError.h"
#include "TuvoFrameworkGlobal.h"
#include "TuvoMediaInfo.h"
#include "TuvoMediaObject.h"

#include <QList>
#include <QUrl>
#include <QVariant>

class TuvoPlaylist;

/*!
 * A renderer: plays media, alone or from a playlist.
 *
 * Commands return whether the renderer accepted them. The three queries are
 * asynchronous: the renderer answers by calling the given slot on the receiver, inside
 * the call or later, on the main thread; a receiver without the expected slot (see
 * statusCallback(), positionCallback(), mediaInfoCallback()) makes the query refuse.
 * The base class refuses everything; a plugin overrides what its renderer can do.
 */
class TUVO_FRAMEWORK_EXPORT TuvoRenderer : public TuvoMediaObject
{
    Q_OBJECT
public:
    // A fixed int: a plugin may emit a state that is not named here, and the adaptor
    // passes it on as the number it is.
    enum State : int {
        Stopped = 0,
        Playing = 1,
        Paused = 2,
        Buffering = 3,
        Error = 4,
    };
    Q_ENUM(State)

    /*! The modes of setPosition(). */
    enum SeekMode : int {
        SeekAbsolute = 0, //!< to the given second from the start
        SeekForward = 1,  //!< the given seconds ahead of the current position
        SeekBackward = 2, //!< the given seconds back from the current position
    };
    Q_ENUM(SeekMode)

    TuvoRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                 QObject *parent = nullptr);
    ~TuvoRenderer() override;

    /*! Plays the current item (of the playlist, or the last uri) from where it is. */
    virtual bool play();
    /*! Plays \a url from \a startPosition seconds. */
    virtual bool playUri(const QUrl &url, uint startPosition);
    virtual bool playUriWithContentType(const QUrl &url, const QString &contentType);
    virtual bool stop();
    virtual bool pause();
    /*! Pauses once playback reaches \a position seconds. */
    virtual bool pauseAt(uint position);
    virtual bool resume();
    virtual bool setPosition(int seconds, int mode);

    /*! Makes \a playlist (null: none) the list that next(), previous() and gotoIndex() walk. */
    virtual bool assignPlaylist(TuvoPlaylist *playlist);
    virtual bool next();
    virtual bool previous();
    virtual bool gotoIndex(uint index);

    /*! Answers (QString playlistId, uint playlistIndex, int state, QString objectId). */
    virtual bool getStatus(QObject *receiver, const char *member);
    /*! Answers (uint position), in seconds. */
    virtual bool getPosition(QObject *receiver, const char *member);
    /*!
     * Answers (const TuvoMediaInfo &) for the current media: the whole record when
     * \a key is empty, otherwise at least the values of \a key.
     */
    virtual bool getCurrentMediaInfo(QObject *receiver, const char *member, const QString &key);

    static TuvoCallback statusCallback(QObject *receiver, const char *member)
    {
        return TuvoCallback::resolve<QString, uint, int, QString>(receiver, member);
    }
    static TuvoCallback positionCallback(QObject *receiver, const char *member)
    {
        return TuvoCallback::resolve<uint>(receiver, member);
    }
    static TuvoCallback mediaInfoCallback(QObject *receiver, const char *member)
    {
        return TuvoCallback::resolve<TuvoMediaInfo>(receiver, member);
    }

Q_SIGNALS:
    void stateChanged(TuvoRenderer::State state);
    /*! The current item changed: its playlist index (or -1) and the item. */
    void mediaChanged(int index, const TuvoContent &content);
    void playbackCompleted();
    void playlistChanged(TuvoPlaylist *playlist);
    /*! New values of one metadata key of the current media. */
    void metadataChanged(const QString &key, const QList<QVariant> &values);
    /*! Buffering progress, 0.0 to 1.0. */
    void bufferingInfo(float status);
    void scanningInfo(float status);
    void error(TuvoError error);
};

Q_DECLARE_METATYPE(TuvoRenderer::State)

#endif
