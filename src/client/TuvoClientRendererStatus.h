#ifndef TUVOCLIENTRENDERERSTATUS_H
#define TUVOCLIENTRENDERERSTATUS_H

#include "TuvoClientGlobal.h"

#include <QMetaType>
#include <QString>

/*! A renderer's answer to get_status. */
struct TUVO_CLIENT_EXPORT TuvoClientRendererStatus
{
    QString playlistId;
    quint32 playlistIndex = 0;
    qint32 state = 0;
    QString objectId;
};

Q_DECLARE_METATYPE(TuvoClientRendererStatus)

#endif
