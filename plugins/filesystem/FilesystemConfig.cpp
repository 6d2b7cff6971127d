#include "FilesystemConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString FilesystemConfig::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tuvo/filesystem-plugin.conf");
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
    const QStringList lines = QString::fromUtf8(text).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int equals = int(line.indexOf(QLatin1Char('=')));
        const QString key = equals < 0 ? line : line.left(equals).trimmed();
        const QString value = equals < 0 ? QString() : line.mid(equals + 1).trimmed();
        if (key != QLatin1String("root")) {
            if (warnings)
                warnings->append(QStringLiteral("line %1: unknown setting \"%2\"").arg(i + 1).arg(key));
            continue;
        }
        const QString root = normalizeRoot(value);
        if (root.isEmpty()) {
            if (warnings)
                warnings->append(QStringLiteral("line %1: not an absolute folder: \"%2\"").arg(i + 1).arg(value));
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
