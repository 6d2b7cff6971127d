#include "TuvoAdaptorFactory.h"

#include <TuvoExtensionAdaptor.h>
#include <TuvoRenderer.h>
#include <TuvoRendererAdaptor.h>
#include <TuvoSource.h>
#include <TuvoSourceAdaptor.h>

void TuvoAdaptorFactory::attachSourceAdaptors(TuvoSource *source)
{
    // Source interface first, then the extension interface.
    new TuvoSourceAdaptor(source);
    new TuvoExtensionAdaptor(source);
}

void TuvoAdaptorFactory::attachRendererAdaptors(TuvoRenderer *renderer)
{
    // Renderer interface first, then the extension interface.
    new TuvoRendererAdaptor(renderer);
    new TuvoExtensionAdaptor(renderer);
}
