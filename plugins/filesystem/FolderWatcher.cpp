#include "FolderWatcher.h"

#include "FileName.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
constexpr uint32_t FolderEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr uint32_t FileEvents = IN_CLOSE_WRITE | IN_ATTRIB;
constexpr uint32_t SelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;
} // namespace

FolderWatcher::FolderWatcher(int capacity, QObject *parent)
    : QObject(parent)
    , m_capacity(capacity)
{
    m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &FolderWatcher::readEvents);
}

FolderWatcher::~FolderWatcher()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderWatcher::watch(const QString &folder)
{
    if (m_fd < 0)
        return false;
    if (m_descriptors.contains(folder)) {
        m_recent.removeOne(folder);
        m_recent.append(folder);
        return true;
    }
    while (m_recent.size() >= m_capacity)
        unwatch(m_recent.first());
    const int descriptor = ::inotify_add_watch(m_fd, FileName::toBytes(folder).constData(),
                                               FolderEvents | FileEvents | IN_DELETE_SELF
                                                   | IN_MOVE_SELF | IN_ONLYDIR);
    if (descriptor < 0)
        return false;
    // Two paths to the same folder share one descriptor; the later one wins.
    if (m_folders.contains(descriptor))
        forget(descriptor);
    m_folders.insert(descriptor, folder);
    m_descriptors.insert(folder, descriptor);
    m_recent.append(folder);
    return true;
}

void FolderWatcher::unwatch(const QString &folder)
{
    const auto found = m_descriptors.constFind(folder);
    if (found == m_descriptors.constEnd())
        return;
    const int descriptor = found.value();
    ::inotify_rm_watch(m_fd, descriptor);
    forget(descriptor);
}

void FolderWatcher::forget(int descriptor)
{
    const QString folder = m_folders.take(descriptor);
    m_descriptors.remove(folder);
    m_recent.removeOne(folder);
}

void FolderWatcher::readEvents()
{
    alignas(struct inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
        if (length <= 0)
            return; // EAGAIN: all read
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const struct inotify_event *>(buffer + offset);
            offset += ssize_t(sizeof(struct inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                Q_EMIT overflowed();
                continue;
            }
            const QString folder = m_folders.value(event->wd);
            if (folder.isEmpty())
                continue;
            if (event->mask & SelfEvents) {
                if (event->mask & IN_IGNORED)
                    forget(event->wd);
                continue;
            }
            const QString name =
                event->len > 0 ? FileName::fromBytes(event->name, int(std::strlen(event->name))) : QString();
            if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
                continue; // hidden entries are not listed, so not reported either
            if (event->mask & FolderEvents)
                Q_EMIT folderChanged(folder);
            else if ((event->mask & FileEvents) && !(event->mask & IN_ISDIR))
                Q_EMIT fileChanged(folder, name);
        }
    }
}
