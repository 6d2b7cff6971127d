#include "TuvoPluginLocator.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TuvoPluginLocator::TuvoPluginLocator(const QString &searchPath, const QStringList &fallbackFolders)
{
    const QStringList folders =
        searchPath.split(QLatin1Char(':'), Qt::SkipEmptyParts) + fallbackFolders;
    for (const QString &folder : folders) {
        const QString clean = QDir::cleanPath(folder);
        if (!clean.isEmpty() && !m_folders.contains(clean))
            m_folders.append(clean);
    }
}

QStringList TuvoPluginLocator::candidates(const QString &argument) const
{
    if (argument.isEmpty())
        return {};
    if (argument.contains(QLatin1Char('/')))
        return {argument};
    QStringList files;
    for (const QString &folder : m_folders)
        files.append(folder + QLatin1Char('/') + argument);
    return files;
}

QString TuvoPluginLocator::locate(const QString &argument) const
{
    const QStringList files = candidates(argument);
    for (const QString &file : files) {
        if (looksLikePlugin(file))
            return file;
    }
    return QString();
}

bool TuvoPluginLocator::looksLikePlugin(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("\x7f" "ELF");
}
