#include "TuvoAdaptorFactory.h"

#include "TuvoSourceAdaptor.h"

#include <TuvoRenderer.h>
#include <TuvoSource.h>

void TuvoAdaptorFactory::attachSourceAdaptors(TuvoSource *source)
{
    // Source interface first, then the extension interface.
    new TuvoSourceAdaptor(source);
}

void TuvoAdaptorFactory::attachRendererAdaptors(TuvoRenderer *renderer)
{
    // Renderer interface first, then the extension interface.
    Q_UNUSED(renderer);
}
