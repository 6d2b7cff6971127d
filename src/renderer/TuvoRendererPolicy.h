#ifndef TUVORENDERERPOLICY_H
#define TUVORENDERERPOLICY_H

#include <QList>

/*!
 * What the renderer adaptor decides about its calls, apart from the bus: how the calls
 * of each query wait for the renderer, which event ends which waiting queries, and
 * whether playlist navigation reaches the renderer.
 *
 * One renderer answer serves every waiting position or status call, but media info
 * calls are asked for one at a time, because each may name a different key.
 * ErrorPlaybackAborted, ErrorPlaylistAborted, next and previous end every waiting
 * query; ErrorPositionUnavailable and ErrorStatusUnavailable end their own.
 * Navigation reaches the renderer only while the last playlist assigned through the
 * adaptor was found; next and previous end the waiting queries either way.
 */
class TuvoRendererPolicy
{
public:
    /*! The queries, in the order their waiting calls are ended. */
    enum Query { Position, Status, MediaInfo };
    enum Navigation { Next, Previous, GotoIndex };

    /*! True when one renderer answer serves every waiting call of \a query. */
    static bool answersAll(Query query);
    static QList<Query> cancelledByError(int code);
    static QList<Query> cancelledBy(Navigation navigation);

    /*! A playlist was assigned through the adaptor; \a found: it was known. */
    void assigned(bool found) { m_assigned = found; }
    bool reachesRenderer(Navigation) const { return m_assigned; }

private:
    bool m_assigned = false;
};

#endif
