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

namespace {
bool parseFlag(const TuvoConfigFile::Setting &setting, const char *yes, const char *no, bool *flag,
               QStringList *warnings)
{
    if (setting.value == QLatin1String(yes)) {
        *flag = true;
        return true;
    }
    if (setting.value == QLatin1String(no)) {
        *flag = false;
        return true;
    }
    if (warnings)
        warnings->append(TuvoConfigFile::lineMessage(
            setting, QStringLiteral("\"%1\" takes \"%2\" or \"%3\", not \"%4\"")
                         .arg(setting.key, QLatin1String(yes), QLatin1String(no), setting.value)));
    return false;
}
} // namespace

FilesystemConfig::Settings FilesystemConfig::parse(const QByteArray &text, QStringList *warnings)
{
    Settings result;
    const QList<TuvoConfigFile::Setting> settings = TuvoConfigFile::parse(text);
    for (const TuvoConfigFile::Setting &setting : settings) {
        if (setting.key == QLatin1String("roots_writable")) {
            parseFlag(setting, "true", "false", &result.rootsWritable, warnings);
            continue;
        }
        if (setting.key == QLatin1String("follow_links")) {
            parseFlag(setting, "anywhere", "inside", &result.linksAnywhere, warnings);
            continue;
        }
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
        if (!result.roots.contains(root))
            result.roots.append(root);
    }
    return result;
}

QByteArray FilesystemConfig::format(const QStringList &roots)
{
    QByteArray text = "# Folders published as media sources, one source each.\n";
    for (const QString &root : roots)
        text += "root=" + root.toUtf8() + '\n';
    return text;
}

QByteArray FilesystemConfig::update(const QByteArray &text, const QStringList &roots)
{
    if (TuvoConfigFile::parse(text).isEmpty() && !text.contains('#'))
        return format(roots);
    // Every line stays as the user wrote it, comments and other settings too; root
    // lines still wanted stay where they are, the others go, and new roots follow
    // the last root line.
    QList<QByteArray> lines = text.split('\n');
    const bool endsInNewline = text.endsWith('\n');
    if (endsInNewline)
        lines.removeLast();
    QList<QByteArray> kept;
    QStringList written;
    int insertAt = -1;
    for (const QByteArray &line : qAsConst(lines)) {
        const QList<TuvoConfigFile::Setting> setting = TuvoConfigFile::parse(line);
        if (setting.isEmpty() || setting.first().key != QLatin1String("root")) {
            kept.append(line);
            continue;
        }
        const QString root = normalizeRoot(setting.first().value);
        if (roots.contains(root) && !written.contains(root)) {
            kept.append(line);
            written.append(root);
        }
        insertAt = int(kept.size());
    }
    QList<QByteArray> added;
    for (const QString &root : roots) {
        if (!written.contains(root))
            added.append("root=" + root.toUtf8());
    }
    if (insertAt < 0)
        insertAt = int(kept.size());
    for (int i = 0; i < added.size(); ++i)
        kept.insert(insertAt + i, added.at(i));
    QByteArray result = kept.join('\n');
    if (endsInNewline || !added.isEmpty())
        result += '\n';
    return result;
}

FilesystemConfig::Settings FilesystemConfig::load(const QString &path)
{
    Settings settings;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QStringList warnings;
        settings = parse(file.readAll(), &warnings);
        for (const QString &warning : qAsConst(warnings))
            qWarning("%s: %s", qPrintable(path), qPrintable(warning));
    }
    if (settings.roots.isEmpty())
        settings.roots = defaultRoots();
    return settings;
}

bool FilesystemConfig::save(const QString &path, const QStringList &roots, QString *error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder of ") + path;
        return false;
    }
    QByteArray before;
    QFile current(path);
    if (current.open(QIODevice::ReadOnly))
        before = current.readAll();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(update(before, roots)) < 0 || !file.commit()) {
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
