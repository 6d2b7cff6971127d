#include "GstSinkPolicy.h"

#include <QRegularExpression>

#include <gst/gst.h>

bool GstSinkPolicy::accepts(const QString &name, Kind kind, QString *problem)
{
    if (name.isEmpty())
        return true;
    // A bare factory name: no properties, no links, no second element.
    static const QRegularExpression factoryName(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (!factoryName.match(name).hasMatch()) {
        *problem = QStringLiteral("only the name of one sink element is taken, not a description");
        return false;
    }
    GstElementFactory *factory = gst_element_factory_find(name.toLatin1().constData());
    if (!factory) {
        *problem = QStringLiteral("no element \"%1\"").arg(name);
        return false;
    }
    const GstElementFactoryListType type =
        GST_ELEMENT_FACTORY_TYPE_SINK
        | (kind == Audio ? GST_ELEMENT_FACTORY_TYPE_MEDIA_AUDIO : GST_ELEMENT_FACTORY_TYPE_MEDIA_VIDEO);
    bool accepted = gst_element_factory_list_is_type(factory, type);
    if (!accepted) {
        *problem = QStringLiteral("\"%1\" is not %2 sink")
                       .arg(name, kind == Audio ? QStringLiteral("an audio") : QStringLiteral("a video"));
    } else {
        // Loading the plugin gives the element's type, and with it its properties.
        GstPluginFeature *loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
        const GType elementType =
            loaded ? gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded)) : G_TYPE_INVALID;
        if (elementType == G_TYPE_INVALID) {
            accepted = false;
            *problem = QStringLiteral("\"%1\" cannot be loaded").arg(name);
        } else {
            gpointer elementClass = g_type_class_ref(elementType);
            if (g_object_class_find_property(G_OBJECT_CLASS(elementClass), "location")) {
                accepted = false;
                *problem = QStringLiteral("\"%1\" writes to a location").arg(name);
            }
            g_type_class_unref(elementClass);
        }
        if (loaded)
            gst_object_unref(loaded);
    }
    gst_object_unref(factory);
    return accepted;
}
