#ifndef RENDERERPROBE_H
#define RENDERERPROBE_H

#include <TuvoMediaInfo.h>

#include <QObject>

class TuvoRenderer;

/*! Asks a framework renderer its three questions and waits for the answers. */
class RendererProbe : public QObject
{
    Q_OBJECT
public:
    struct Status
    {
        QString playlistId;
        uint index = 0;
        int state = -1;
        QString objectId;
    };
    explicit RendererProbe(TuvoRenderer *renderer);

    bool status(Status *status);
    bool position(uint *seconds);
    bool mediaInfo(const QString &key, TuvoMediaInfo *info);
    /*! The precise position from the media info; -1 when there is none. */
    qint64 positionMs();

public Q_SLOTS:
    void statusCallback(QString playlistId, uint index, int state, QString objectId);
    void positionCallback(uint position);
    void mediaInfoCallback(TuvoMediaInfo info);

Q_SIGNALS:
    void answered();

private:
    bool wait();
    TuvoRenderer *m_renderer;
    Status m_status;
    uint m_position = 0;
    TuvoMediaInfo m_info;
    bool m_answered = false;
};

#endif
