#ifndef TUVOPROXYRENDERER_H
#define TUVOPROXYRENDERER_H

#include <TuvoRenderer.h>

/*!
 * Stands for a renderer that lives in another process, as the framework's own proxies
 * do. The host recognises proxies by this class name and never publishes them.
 */
class TuvoProxyRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    using TuvoRenderer::TuvoRenderer;
};

#endif
