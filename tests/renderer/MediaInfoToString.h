#ifndef MEDIAINFOTOSTRING_H
#define MEDIAINFOTOSTRING_H

#include <TuvoMediaInfo.h>

#include <QStringList>
#include <QtGlobal>

// Lets QCOMPARE show media info records that differ.
inline char *toString(const TuvoMediaInfo &info)
{
    QString text = QLatin1Char('"') + info.uuid() + QStringLiteral("\" {");
    const TuvoMediaInfo::MetaData &metaData = info.metaData();
    for (auto it = metaData.constBegin(); it != metaData.constEnd(); ++it) {
        QStringList values;
        for (const QVariant &value : it.value())
            values.append(QStringLiteral("%1:%2").arg(QLatin1String(value.typeName()), value.toString()));
        text += QStringLiteral(" %1: [%2]").arg(it.key(), values.join(QStringLiteral(", ")));
    }
    return qstrdup(qPrintable(text + QStringLiteral(" }")));
}

#endif
