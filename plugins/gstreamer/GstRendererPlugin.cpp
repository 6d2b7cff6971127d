#include "GstRendererPlugin.h"

#include "GstRenderer.h"
#include "GstRendererConfig.h"

#include <TuvoInternalRegistry.h>

#include <gst/gst.h>

bool GstRendererPlugin::initialize(TuvoInternalRegistry *registry)
{
    GError *error = nullptr;
    // GStreamer stays initialised for the rest of the process: it cannot be again.
    if (!gst_init_check(nullptr, nullptr, &error)) {
        qWarning("gstreamer plugin: GStreamer cannot start: %s", error ? error->message : "");
        g_clear_error(&error);
        return false;
    }
    auto *renderer = new GstRenderer(GstRendererConfig::load(GstRendererConfig::defaultPath()));
    if (!registry->addRenderer(renderer)) {
        delete renderer;
        return false;
    }
    m_registry = registry;
    return true;
}

void GstRendererPlugin::deinitialize()
{
    if (m_registry)
        m_registry->removeRenderer(QString::fromLatin1(GstRenderer::Uuid));
    m_registry = nullptr;
}
