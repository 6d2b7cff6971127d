#ifndef FILESYSTEMCONFIG_H
#define FILESYSTEMCONFIG_H

#include <QByteArray>
#include <QString>
#include <QStringList>

/*!
 * The plugin's configuration file, "tuvo/filesystem-plugin.conf" in the user's
 * configuration folder ($XDG_CONFIG_HOME, ~/.config): plain text, one setting a line,
 * "#" starts a comment.
 *
 *     # Folders published as media sources, one source each.
 *     root=~/Music
 *     root=/srv/media/films
 *
 * Without a file, or without root lines, the roots are the user's music, videos and
 * pictures folders (XDG user directories) that exist.
 */
class FilesystemConfig
{
public:
    static QString defaultPath();
    static QStringList defaultRoots();

    /*! The roots named by configuration text, normalised; \a warnings gets bad lines. */
    static QStringList parse(const QByteArray &text, QStringList *warnings = nullptr);
    static QByteArray format(const QStringList &roots);

    /*! The roots configured in \a path, or the default roots. */
    static QStringList load(const QString &path);
    static bool save(const QString &path, const QStringList &roots, QString *error);

    /*! An absolute, clean path with "~" expanded; empty when \a root is relative. */
    static QString normalizeRoot(const QString &root);
    /*!
     * Normalises \a roots and drops repetitions. Returns an empty list and sets
     * \a error when the list is empty or a root is not an existing folder.
     */
    static QStringList checkRoots(const QStringList &roots, QString *error);
};

#endif
