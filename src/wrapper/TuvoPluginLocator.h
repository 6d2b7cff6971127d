#ifndef TUVOPLUGINLOCATOR_H
#define TUVOPLUGINLOCATOR_H

#include <QStringList>

/*!
 * Finds the plugin file that the wrapper's argument names, at start and before anything
 * is loaded, so that a misspelt plugin is refused at once rather than on activation.
 *
 * An argument with a "/" is a path and names itself. A bare file name is looked up in
 * the folders of the search path (TUVO_PLUGIN_PATH: colon-separated, in order), then in
 * the fallback folders (the plugin folder relative to the executable, so that an
 * installed tree still works where it was moved to, then the configured one).
 * The test is a quick look at the file, never a load: a readable regular file that
 * starts as a shared object does (ELF).
 */
class TuvoPluginLocator
{
public:
    TuvoPluginLocator(const QString &searchPath, const QStringList &fallbackFolders);

    /*! The files looked at for \a argument, in order, without repeats. */
    QStringList candidates(const QString &argument) const;
    /*! The first candidate that looks like a plugin, or an empty string. */
    QString locate(const QString &argument) const;
    static bool looksLikePlugin(const QString &path);

private:
    QStringList m_folders;
};

#endif
