#include "GstErrorMap.h"

#include <TuvoError.h>

#include <gst/gst.h>

int GstErrorMap::code(GQuark domain, int code, bool isDirectory)
{
    if (isDirectory)
        return TuvoError::ErrorResourceIsContainer;
    if (domain == GST_RESOURCE_ERROR) {
        switch (code) {
        case GST_RESOURCE_ERROR_NOT_FOUND:
            return TuvoError::ErrorResourceNotFound;
        case GST_RESOURCE_ERROR_OPEN_READ:
        case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
        case GST_RESOURCE_ERROR_READ:
        case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
            return TuvoError::ErrorResourceUnreadable;
        default:
            return TuvoError::ErrorPlaybackFailed;
        }
    }
    if (domain == GST_STREAM_ERROR) {
        switch (code) {
        case GST_STREAM_ERROR_TYPE_NOT_FOUND:
        case GST_STREAM_ERROR_WRONG_TYPE:
        case GST_STREAM_ERROR_CODEC_NOT_FOUND:
        case GST_STREAM_ERROR_FORMAT:
            return TuvoError::ErrorUnsupportedMedia;
        default:
            return TuvoError::ErrorPlaybackFailed;
        }
    }
    if (domain == GST_CORE_ERROR && code == GST_CORE_ERROR_MISSING_PLUGIN)
        return TuvoError::ErrorUnsupportedMedia;
    return TuvoError::ErrorPlaybackFailed;
}

QString GstErrorMap::message(int tuvoCode, const QString &uri, const QString &detail)
{
    QString what;
    switch (tuvoCode) {
    case TuvoError::ErrorResourceNotFound:
        what = QStringLiteral("no such file");
        break;
    case TuvoError::ErrorResourceIsContainer:
        what = QStringLiteral("a folder, not a media file");
        break;
    case TuvoError::ErrorUnsupportedMedia:
        what = QStringLiteral("not a media file, or in a format that cannot be played");
        break;
    case TuvoError::ErrorResourceUnreadable:
        what = QStringLiteral("cannot be read");
        break;
    default:
        what = QStringLiteral("playback failed");
    }
    QString text = uri + QStringLiteral(": ") + what;
    if (!detail.isEmpty())
        text += QStringLiteral(" (") + detail + QLatin1Char(')');
    return text;
}
