#include "TuvoClientResultRouter.h"

size_t qHash(const TuvoClientResultRouter::Key &key, size_t seed)
{
    return qHashMulti(seed, key.sender, key.kind, key.id);
}

void TuvoClientResultRouter::letGo(const QDBusMessage &message)
{
    if (m_release)
        m_release(message);
}

bool TuvoClientResultRouter::anyWaiting()
{
    m_waiting.removeAll(QPointer<QObject>());
    if (m_waiting.isEmpty()) {
        for (const Held &held : std::exchange(m_held, {}))
            letGo(held.message);
    }
    return !m_waiting.isEmpty();
}

void TuvoClientResultRouter::expect(QObject *owner)
{
    m_waiting.append(owner);
}

void TuvoClientResultRouter::route(QObject *owner, const Key &key, const Sink &sink)
{
    m_waiting.removeAll(owner);
    m_routes.insert(key, Route{owner, sink});
    for (int i = 0; i < m_held.size();) {
        if (!(m_held.at(i).key == key)) {
            ++i;
            continue;
        }
        // The sink may end the entry, or delete its owner; stop then.
        const auto entry = m_routes.constFind(key);
        if (entry == m_routes.cend() || entry->owner.isNull())
            break;
        const Sink deliver = entry->sink;
        const QDBusMessage message = m_held.takeAt(i).message;
        deliver(message);
        letGo(message);
    }
    anyWaiting();
}

void TuvoClientResultRouter::release(QObject *owner)
{
    m_waiting.removeAll(owner);
    m_routes.removeIf([owner](const QHash<Key, Route>::iterator &entry) {
        return entry->owner == owner || entry->owner.isNull();
    });
    anyWaiting();
}

bool TuvoClientResultRouter::receive(const Key &key, const QDBusMessage &message)
{
    const auto entry = m_routes.constFind(key);
    if (entry != m_routes.cend() && !entry->owner.isNull()) {
        const Sink deliver = entry->sink;
        deliver(message);
        return true;
    }
    if (anyWaiting() && m_held.size() < MaxEarlyMessages) {
        m_held.append(Held{key, message});
        return true;
    }
    return false;
}
