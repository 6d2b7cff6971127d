#include "TuvoRendererPolicy.h"

#include <TuvoError.h>

bool TuvoRendererPolicy::answersAll(Query query)
{
    return query != MediaInfo;
}

QList<TuvoRendererPolicy::Query> TuvoRendererPolicy::cancelledByError(int code)
{
    switch (code) {
    case TuvoError::ErrorPlaybackAborted:
    case TuvoError::ErrorPlaylistAborted:
        return {Position, Status, MediaInfo};
    case TuvoError::ErrorPositionUnavailable:
        return {Position};
    case TuvoError::ErrorStatusUnavailable:
        return {Status};
    default:
        return {};
    }
}

QList<TuvoRendererPolicy::Query> TuvoRendererPolicy::cancelledBy(Navigation navigation)
{
    // What the waiting queries would answer is about to change.
    if (navigation == GotoIndex)
        return {};
    return {Position, Status, MediaInfo};
}
