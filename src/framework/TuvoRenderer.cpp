#include "TuvoRenderer.h"

TuvoRenderer::TuvoRenderer(const QString &uuid, const QString &pluginName, const QString &name,
                           QObject *parent)
    : TuvoMediaObject(uuid, pluginName, name, parent)
{
}

TuvoRenderer::~TuvoRenderer() = default;

bool TuvoRenderer::play()
{
    return false;
}

bool TuvoRenderer::playUri(const QUrl &, uint)
{
    return false;
}

bool TuvoRenderer::playUriWithContentType(const QUrl &, const QString &)
{
    return false;
}

bool TuvoRenderer::stop()
{
    return false;
}

bool TuvoRenderer::pause()
{
    return false;
}

bool TuvoRenderer::pauseAt(uint)
{
    return false;
}

bool TuvoRenderer::resume()
{
    return false;
}

bool TuvoRenderer::setPosition(int, int)
{
    return false;
}

bool TuvoRenderer::assignPlaylist(TuvoPlaylist *)
{
    return false;
}

bool TuvoRenderer::next()
{
    return false;
}

bool TuvoRenderer::previous()
{
    return false;
}

bool TuvoRenderer::gotoIndex(uint)
{
    return false;
}

bool TuvoRenderer::getStatus(QObject *, const char *)
{
    return false;
}

bool TuvoRenderer::getPosition(QObject *, const char *)
{
    return false;
}

bool TuvoRenderer::getCurrentMediaInfo(QObject *, const char *, const QString &)
{
    return false;
}
