#ifndef TUVOCLIENTRESULTROUTER_H
#define TUVOCLIENTRESULTROUTER_H

#include <QDBusMessage>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

/*!
 * Where the results that come to one proxy-source object go: a table of the running
 * browses and queries by (sender, kind, id), each with the sink that takes its result
 * messages. A source may send results before the answer to the browse or query call
 * that gives their id has arrived: while any such call is out, results that fit no
 * entry are held here, and given to the entry that claims them when its id is known,
 * in the order they came. When no call is out any more, whatever is still held is
 * dropped.
 *
 * It knows nothing of the bus or of the operations: each waiting call and each entry
 * is tied to an owner object, and is gone when that object is.
 */
class TuvoClientResultRouter
{
public:
    /*! Results held for calls that are still out, at most. */
    static constexpr int MaxEarlyMessages = 1000;

    struct Key {
        QString sender;
        int kind;
        quint32 id;
        bool operator==(const Key &other) const
        {
            return kind == other.kind && id == other.id && sender == other.sender;
        }
    };
    using Sink = std::function<void(const QDBusMessage &message)>;

    /*! The starting call of \a owner is out: results may arrive before its id. */
    void expect(QObject *owner);
    /*!
     * The call of \a owner was answered: results of \a key go to \a sink from now on,
     * those already held first. Stops early if \a sink's owner releases the entry.
     */
    void route(QObject *owner, const Key &key, const Sink &sink);
    /*! \a owner takes no results any more, and waits for no answer. */
    void release(QObject *owner);
    /*! One result message; false when it was dropped. */
    bool receive(const Key &key, const QDBusMessage &message);

    int heldCount() const { return int(m_held.size()); }
    /*! Called with every held message that the router lets go of, delivered or dropped. */
    void setRelease(const Sink &release) { m_release = release; }

private:
    struct Route {
        QPointer<QObject> owner;
        Sink sink;
    };
    struct Held {
        Key key;
        QDBusMessage message;
    };
    bool anyWaiting();
    void letGo(const QDBusMessage &message);

    QHash<Key, Route> m_routes;
    QList<QPointer<QObject>> m_waiting;
    QList<Held> m_held;
    Sink m_release;
};

size_t qHash(const TuvoClientResultRouter::Key &key, size_t seed = 0);

#endif
