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
 *     # Clients may change the roots over the bus (default: false).
 *     roots_writable=true
 *     # Links may lead out of the roots (default: inside).
 *     follow_links=anywhere
 *
 * Without a file, or without root lines, the roots are the user's music, videos and
 * pictures folders (XDG user directories) that exist.
 *
 * "roots_writable": unless it is "true", a client's write of the "roots" property
 * is refused, so no bus peer can publish the whole file system.
 * "follow_links": "inside" follows a symbolic link only when its target lies inside
 * one of the roots; "anywhere" follows it wherever it leads, except into /proc, /sys
 * and /dev (LinkPolicy).
 *
 * Saving roots rewrites only the root lines: comments, other settings and the order
 * of the lines stay as the user left them.
 */
class FilesystemConfig
{
public:
    static QString defaultPath();
    static QStringList defaultRoots();

    struct Settings
    {
        QStringList roots;
        bool rootsWritable = false;
        bool linksAnywhere = false;
    };

    /*! The settings of configuration text, roots normalised; \a warnings gets bad lines. */
    static Settings parse(const QByteArray &text, QStringList *warnings = nullptr);
    static QByteArray format(const QStringList &roots);
    /*! \a text with its root lines saying \a roots, and every other line as it was. */
    static QByteArray update(const QByteArray &text, const QStringList &roots);

    /*! The settings in \a path; the default roots when it names none. */
    static Settings load(const QString &path);
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
