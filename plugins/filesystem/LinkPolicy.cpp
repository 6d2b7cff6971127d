#include "LinkPolicy.h"

#include "FileName.h"

#include <climits>
#include <cstdlib>

namespace {
QByteArray withSlash(QByteArray path)
{
    if (!path.endsWith('/'))
        path += '/';
    return path;
}

QByteArray resolve(const QByteArray &path)
{
    char buffer[PATH_MAX];
    if (!::realpath(path.constData(), buffer))
        return QByteArray();
    return QByteArray(buffer);
}
} // namespace

LinkPolicy::LinkPolicy(const QStringList &roots, bool anywhere)
    : m_anywhere(anywhere)
    , m_open(false)
{
    for (const QString &root : roots) {
        const QByteArray resolved = resolve(FileName::toBytes(root));
        if (!resolved.isEmpty())
            m_roots.append(withSlash(resolved));
    }
}

bool LinkPolicy::allows(const QByteArray &path) const
{
    const QByteArray resolved = resolve(path);
    return !resolved.isEmpty() && allowsResolved(resolved);
}

bool LinkPolicy::allowsResolved(const QByteArray &resolved) const
{
    const QByteArray path = withSlash(resolved);
    // A root configured inside a system folder (a tmpfs at /dev/shm) is the user's
    // choice; anything else there is not.
    for (const char *system : {"/proc/", "/sys/", "/dev/"}) {
        if (!path.startsWith(system))
            continue;
        bool rootThere = false;
        for (const QByteArray &root : m_roots)
            rootThere = rootThere || (root.startsWith(system) && path.startsWith(root));
        if (!rootThere)
            return false;
    }
    if (m_anywhere || m_open)
        return true;
    for (const QByteArray &root : m_roots) {
        if (path.startsWith(root))
            return true;
    }
    return false;
}
