#include "FilesystemConfig.h"

#include <TuvoConfigFile.h>

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString FilesystemConfig::defaultPath()
{
    return TuvoConfigFile::userPath(QStringLiteral("filesystem-plugin.conf"));
}

QStringList FilesystemConfig::defaultRoots()
{
    QStringList roots;
    const QStandardPaths::StandardLocation locations[] = {
        QStandardPaths::MusicLocation, QStandardPaths::MoviesLocation,
        QStandardPaths::PicturesLocation};
    const QString home = QDir::homePath();
    for (const auto location : locations) {
        const QString folder = normalizeRoot(QStandardPaths::writableLocation(location));
        // An XDG user directory that is not set up points at the home folder itself.
        if (!folder.isEmpty() && folder != home && QFileInfo(folder).isDir()
            && !roots.contains(folder)) {
            roots.append(folder);
        }
    }
    return roots;
}

QString FilesystemConfig::normalizeRoot(const QString &root)
{
    QString path = root.trimmed();
    if (path == QLatin1String("~") || path.startsWith(QLatin1String("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!QDir::isAbsolutePath(path))
        return QString();
    return QDir::cleanPath(path);
}

QStringList FilesystemConfig::parse(const QByteArray &text, QStringList *warnings)
{
    QStringList roots;
    const QList<TuvoConfigFile::Setting> settings = TuvoConfigFile::parse(text);
    for (const TuvoConfigFile::Setting &setting : settings) {
        if (setting.key != QLatin1String("root")) {
            if (warnings)
                warnings->append(TuvoConfigFile::lineMessage(
                    setting, QStringLiteral("unknown setting \"%1\"").arg(setting.key)));
            continue;
        }
        const QString root = normalizeRoot(setting.value);
        if (root.isEmpty()) {
            if (warnings)
                warnings->append(TuvoConfigFile::lineMessage(
                    setting, QStringLiteral("not an absolute folder: \"%1\"").arg(setting.value)));
            continue;
        }
        if (!roots.contains(root))
            roots.append(root);
    }
    return roots;
}

QByteArray FilesystemConfig::format(const QStringList &roots)
{
    QByteArray text = "# Folders published as media sources, one source each.\n";
    for (const QString &root : roots)
        text += "root=" + root.toUtf8() + '\n';
    return text;
}

QStringList FilesystemConfig::load(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QStringList warnings;
        const QStringList roots = parse(file.readAll(), &warnings);
        for (const QString &warning : qAsConst(warnings))
            qWarning("%s: %s", qPrintable(path), qPrintable(warning));
        if (!roots.isEmpty())
            return roots;
    }
    return defaultRoots();
}

bool FilesystemConfig::save(const QString &path, const QStringList &roots, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder of ") + path;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(format(roots)) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QStringList FilesystemConfig::checkRoots(const QStringList &roots, QString *error)
{
    QStringList result;
    for (const QString &root : roots) {
        const QString path = normalizeRoot(root);
        if (path.isEmpty()) {
            *error = QStringLiteral("not an absolute folder: \"%1\"").arg(root);
            return {};
        }
        if (!QFileInfo(path).isDir()) {
            *error = QStringLiteral("no such folder: \"%1\"").arg(path);
            return {};
        }
        if (!result.contains(path))
            result.append(path);
    }
    if (result.isEmpty())
        *error = QStringLiteral("at least one folder is needed");
    return result;
}
