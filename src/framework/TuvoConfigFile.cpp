#include "TuvoConfigFile.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

QList<TuvoConfigFile::Setting> TuvoConfigFile::parse(const QByteArray &text)
{
    QList<Setting> settings;
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = int(line.indexOf(QLatin1Char('=')));
        Setting setting;
        setting.line = i + 1;
        setting.key = equals < 0 ? line : line.left(equals).trimmed();
        setting.value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        settings.append(setting);
    }
    return settings;
}

QList<TuvoConfigFile::Setting> TuvoConfigFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

QString TuvoConfigFile::userPath(const QString &fileName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tuvo/") + fileName;
}

QString TuvoConfigFile::lineMessage(const Setting &setting, const QString &text)
{
    return QStringLiteral("line %1: %2").arg(setting.line).arg(text);
}
