#include <TuvoPlaylist.h>
#include <TuvoRegistry.h>

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

// Playlists by id: one object per id for as long as the id exists.
class tst_TuvoRegistry : public QObject
{
    Q_OBJECT

    static QList<TuvoContent> entries(const QStringList &uris)
    {
        QList<TuvoContent> result;
        for (const QString &uri : uris)
            result.append(TuvoContent(uri));
        return result;
    }

private Q_SLOTS:
    void cleanup()
    {
        TuvoRegistry *registry = TuvoRegistry::instance();
        const QStringList ids = registry->playlistIds();
        for (const QString &id : ids)
            registry->removePlaylist(id);
    }

    void addFindRemove()
    {
        TuvoRegistry *registry = TuvoRegistry::instance();
        QSignalSpy added(registry, &TuvoRegistry::playlistAdded);
        QSignalSpy removed(registry, &TuvoRegistry::playlistRemoved);
        auto *playlist = new TuvoPlaylist(QStringLiteral("mix"), entries({QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(registry->addPlaylist(playlist), playlist);
        QCOMPARE(registry->findPlaylist(QStringLiteral("mix")), playlist);
        QCOMPARE(added.count(), 1);
        QVERIFY(!registry->findPlaylist(QStringLiteral("other")));
        QCOMPARE(playlist->entry(1).uuid(), QStringLiteral("b"));
        QCOMPARE(playlist->entry(2).uuid(), QString());
        QCOMPARE(playlist->entry(-1).uuid(), QString());

        QPointer<TuvoPlaylist> watch = playlist;
        QVERIFY(registry->removePlaylist(QStringLiteral("mix")));
        QCOMPARE(removed.count(), 1);
        QVERIFY(!registry->findPlaylist(QStringLiteral("mix")));
        QTRY_VERIFY(!watch);
        QVERIFY(!registry->removePlaylist(QStringLiteral("mix")));
    }

    void sameIdUpdatesInPlace()
    {
        TuvoRegistry *registry = TuvoRegistry::instance();
        TuvoPlaylist *kept = registry->addPlaylist(new TuvoPlaylist(QStringLiteral("mix"), entries({QStringLiteral("a")})));
        QSignalSpy changed(kept, &TuvoPlaylist::entriesChanged);
        QSignalSpy added(registry, &TuvoRegistry::playlistAdded);
        auto *update = new TuvoPlaylist(QStringLiteral("mix"), entries({QStringLiteral("c"), QStringLiteral("d")}));
        update->setName(QStringLiteral("Mix"));
        QCOMPARE(registry->addPlaylist(update), kept);
        QCOMPARE(kept->count(), 2);
        QCOMPARE(kept->name(), QStringLiteral("Mix"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(added.count(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_TuvoRegistry)
#include "tst_tuvoregistry.moc"
