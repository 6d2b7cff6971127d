#ifndef TUVOMPRISROOTADAPTOR_H
#define TUVOMPRISROOTADAPTOR_H

#include <QDBusAbstractAdaptor>
#include <QStringList>

class TuvoMprisPlayer;

/*! org.mpris.MediaPlayer2 of a player: who it is; it can neither raise nor quit. */
class TuvoMprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    explicit TuvoMprisRootAdaptor(TuvoMprisPlayer *player);

    bool canQuit() const { return false; }
    bool canRaise() const { return false; }
    bool hasTrackList() const { return false; }
    QString identity() const;
    QStringList supportedUriSchemes() const;
    QStringList supportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise() {}
    void Quit() {}

private:
    TuvoMprisPlayer *m_player;
};

#endif
