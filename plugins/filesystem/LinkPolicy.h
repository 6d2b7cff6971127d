#ifndef LINKPOLICY_H
#define LINKPOLICY_H

#include <QByteArray>
#include <QList>
#include <QStringList>

/*!
 * Where a symbolic link in a media folder may lead. By default a link is followed
 * only when its target lies inside one of the configured roots; the configuration
 * can let links lead anywhere ("follow_links=anywhere"). Never into /proc, /sys or
 * /dev, whatever the configuration says: their files never end and some block. Only
 * a root configured inside one of them (a tmpfs at /dev/shm) may be read there.
 *
 * Immutable once made, so worker threads share copies freely.
 */
class LinkPolicy
{
public:
    LinkPolicy() = default;
    LinkPolicy(const QStringList &roots, bool anywhere);

    /*! Whether the folder or file at \a path, followed through its links, may be read. */
    bool allows(const QByteArray &path) const;
    /*! Whether \a resolved, a path without links, may be read. */
    bool allowsResolved(const QByteArray &resolved) const;
    bool followsAnywhere() const { return m_anywhere; }

private:
    QList<QByteArray> m_roots; // resolved, each ending in "/"
    bool m_anywhere = false;
    bool m_open = true; // made without roots: everything but the system folders
};

#endif
