#ifndef FOLDERWATCHER_H
#define FOLDERWATCHER_H

#include <QHash>
#include <QObject>
#include <QStringList>

class QSocketNotifier;

/*!
 * Watches folders with inotify and tells which folder gained or lost entries and
 * which file was written or had its attributes changed. Unlike QFileSystemWatcher it
 * names the file, so a source can report a changed item and not only its folder.
 *
 * Reads are not changes: a file opened read-only and closed again produces nothing.
 * The number of folders watched is bounded; the least recently watched one makes
 * room for a new one.
 */
class FolderWatcher : public QObject
{
    Q_OBJECT
public:
    explicit FolderWatcher(int capacity = 256, QObject *parent = nullptr);
    ~FolderWatcher() override;

    /*! Starts (or refreshes) watching \a folder; false when inotify refused it. */
    bool watch(const QString &folder);
    void unwatch(const QString &folder);
    bool isWatching(const QString &folder) const { return m_descriptors.contains(folder); }
    QStringList folders() const { return m_descriptors.keys(); }

Q_SIGNALS:
    /*! An entry of \a folder was created, removed or renamed. */
    void folderChanged(const QString &folder);
    /*! The file \a name in \a folder was written or its attributes changed. */
    void fileChanged(const QString &folder, const QString &name);
    /*! Events were lost: anything watched may have changed. */
    void overflowed();

private Q_SLOTS:
    void readEvents();

private:
    void forget(int descriptor);

    const int m_capacity;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QString> m_folders;      // watch descriptor -> folder
    QHash<QString, int> m_descriptors;  // folder -> watch descriptor
    QStringList m_recent;               // least recently watched first
};

#endif
