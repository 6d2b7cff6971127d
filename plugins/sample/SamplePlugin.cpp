#include "SamplePlugin.h"

#include "SampleCatalogue.h"
#include "SampleRenderer.h"
#include "SampleSource.h"

#include <TuvoInternalRegistry.h>
#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>

namespace {
const QString FavouritesId = QStringLiteral("sample_favourites");
}

bool SamplePlugin::initialize(TuvoInternalRegistry *registry)
{
    m_registry = registry;

    QList<TuvoContent> favourites;
    const QList<TuvoContent> tracks = SampleCatalogue::instance().tracks();
    for (int i = 0; i < tracks.size(); i += 3) {
        const TuvoContent &track = tracks.at(i);
        QVariantMap meta;
        meta.insert(QStringLiteral("title"), track.metaData(QStringLiteral("title")));
        meta.insert(QStringLiteral("duration"), track.metaData(QStringLiteral("duration")));
        favourites.append(TuvoContent(track.metaData(QStringLiteral("uri")).toString(), meta));
    }
    auto *playlist = new TuvoPlaylist(FavouritesId, favourites);
    playlist->setName(QStringLiteral("Sample favourites"));
    TuvoRegistry::instance()->addPlaylist(playlist);

    auto *source = new SampleSource;
    auto *renderer = new SampleRenderer;
    if (!registry->addSource(source)) {
        delete source;
        delete renderer;
        return false;
    }
    // On failure the registry withdraws the source with the plugin.
    if (!registry->addRenderer(renderer)) {
        delete renderer;
        return false;
    }
    return true;
}

void SamplePlugin::deinitialize()
{
    if (!m_registry)
        return;
    m_registry->removeRenderer(QStringLiteral("sample_renderer"));
    m_registry->removeSource(QStringLiteral("sample_source"));
    TuvoRegistry::instance()->removePlaylist(FavouritesId);
    m_registry = nullptr;
}
