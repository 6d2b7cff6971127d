#ifndef TUVOCLIENTBROWSERECORD_H
#define TUVOCLIENTBROWSERECORD_H

#include "TuvoClientGlobal.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

class QDBusArgument;

/*!
 * One browse record as it travels in browse_result, D-Bus (iusaysus): a result, or
 * (errorCode not 0) the error that ends the browse. Decoded results are
 * TuvoClientBrowseResult.
 */
struct TUVO_CLIENT_EXPORT TuvoClientBrowseRecord
{
    qint32 remainingCount = 0;
    quint32 index = 0;
    QString objectId;
    QByteArray metadata;
    QString reserved;
    quint32 errorCode = 0;
    QString errorMessage;

    /*! Registers the record and its list with Qt D-Bus; returns the list's type id. */
    static int registerMetaTypes();
};

TUVO_CLIENT_EXPORT QDBusArgument &operator<<(QDBusArgument &argument, const TuvoClientBrowseRecord &record);
TUVO_CLIENT_EXPORT const QDBusArgument &operator>>(const QDBusArgument &argument, TuvoClientBrowseRecord &record);

Q_DECLARE_METATYPE(TuvoClientBrowseRecord)

#endif
