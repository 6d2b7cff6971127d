// The pure parts of the GStreamer plugin: error mapping, tag mapping, configuration.
#include "GstErrorMap.h"
#include "GstRendererConfig.h"
#include "GstSinkPolicy.h"
#include "GstTagMap.h"

#include <TuvoError.h>

#include <QtTest>

#include <gst/gst.h>

class TestGstParts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(gst_init_check(nullptr, nullptr, nullptr));
    }

    void errorCodes_data()
    {
        QTest::addColumn<quint32>("domain");
        QTest::addColumn<int>("code");
        QTest::addColumn<bool>("isDirectory");
        QTest::addColumn<int>("expected");
        const auto row = [](const char *name, quint32 domain, int code, bool isDirectory, TuvoError::Code expected) {
            QTest::newRow(name) << domain << code << isDirectory << int(expected);
        };
        row("resource not found", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, false, TuvoError::ErrorResourceNotFound);
        row("is a directory", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, true, TuvoError::ErrorResourceIsContainer);
        row("cannot open", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, false, TuvoError::ErrorResourceUnreadable);
        row("not authorized", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_AUTHORIZED, false, TuvoError::ErrorResourceUnreadable);
        row("could not determine type", GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, false,
            TuvoError::ErrorUnsupportedMedia);
        row("no decoder", GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, false, TuvoError::ErrorUnsupportedMedia);
        row("missing plugin", GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, false, TuvoError::ErrorUnsupportedMedia);
        row("decoding failed", GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, false, TuvoError::ErrorPlaybackFailed);
        row("no device", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_WRITE, false, TuvoError::ErrorPlaybackFailed);
        row("library", GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, false, TuvoError::ErrorPlaybackFailed);
    }

    void errorCodes()
    {
        QFETCH(quint32, domain);
        QFETCH(int, code);
        QFETCH(bool, isDirectory);
        QFETCH(int, expected);
        QCOMPARE(GstErrorMap::code(GQuark(domain), code, isDirectory), expected);
    }

    void errorMessagesDiffer()
    {
        const QString uri = QStringLiteral("/music/a.wav");
        const QString missing = GstErrorMap::message(TuvoError::ErrorResourceNotFound, uri, QString());
        const QString folder = GstErrorMap::message(TuvoError::ErrorResourceIsContainer, uri, QString());
        const QString notMedia = GstErrorMap::message(TuvoError::ErrorUnsupportedMedia, uri,
                                                      QStringLiteral("Could not determine type of stream."));
        QVERIFY(missing.startsWith(uri));
        QVERIFY(missing != folder && folder != notMedia && missing != notMedia);
        QVERIFY(notMedia.contains(QLatin1String("Could not determine type")));
    }

    void tags()
    {
        GstTagList *list = gst_tag_list_new(GST_TAG_TITLE, "Low Tide", GST_TAG_ARTIST, "The Tidewaters",
                                            GST_TAG_TRACK_NUMBER, 3u, GST_TAG_BITRATE, 128000u,
                                            GST_TAG_NOMINAL_BITRATE, 192000u, nullptr);
        gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_ARTIST, "Guest", nullptr);
        GstDateTime *date = gst_date_time_new_y(2019);
        gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_DATE_TIME, date, nullptr);
        gst_date_time_unref(date);
        // Streams send their tags again and again: merged in, a title stays one title.
        for (int i = 0; i < 12; ++i) {
            GstTagList *repeat = gst_tag_list_new(GST_TAG_TITLE, "Low Tide", nullptr);
            gst_tag_list_insert(list, repeat, GST_TAG_MERGE_REPLACE);
            gst_tag_list_unref(repeat);
        }

        const TuvoMediaInfo::MetaData meta = GstTagMap::toMetaData(list);
        gst_tag_list_unref(list);
        QCOMPARE(meta.value(QStringLiteral("title")), QList<QVariant>{QStringLiteral("Low Tide")});
        QCOMPARE(meta.value(QStringLiteral("artist")),
                 QList<QVariant>({QStringLiteral("The Tidewaters"), QStringLiteral("Guest")}));
        QCOMPARE(meta.value(QStringLiteral("track_number")), QList<QVariant>{3u});
        QCOMPARE(meta.value(QStringLiteral("year")), QList<QVariant>{2019});
        QCOMPARE(meta.value(QStringLiteral("bitrate")), QList<QVariant>{192000u});
        QCOMPARE(meta.size(), 5); // the running bitrate is left out
    }

    void config_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("video");
        QTest::addColumn<int>("warnings");
        QTest::newRow("both") << QByteArray("# sinks\naudio_sink = fakesink sync=false\nvideo_sink=fakesink\n")
                              << QStringLiteral("fakesink sync=false") << QStringLiteral("fakesink") << 0;
        QTest::newRow("unknown") << QByteArray("speed=fast\n") << QString() << QString() << 1;
    }

    void config()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, audio);
        QFETCH(QString, video);
        QFETCH(int, warnings);
        QStringList found;
        const GstRendererConfig config = GstRendererConfig::parse(text, &found);
        QCOMPARE(config.audioSink, audio);
        QCOMPARE(config.videoSink, video);
        QCOMPARE(found.size(), warnings);
    }

    void sinks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char *label, const char *name, GstSinkPolicy::Kind kind, bool accepted) {
            QTest::newRow(label) << QString::fromLatin1(name) << int(kind) << accepted;
        };
        row("automatic", "", GstSinkPolicy::Audio, true);
        row("audio sink", "autoaudiosink", GstSinkPolicy::Audio, true);
        row("video sink", "autovideosink", GstSinkPolicy::Video, true);
        row("video sink as audio", "autovideosink", GstSinkPolicy::Audio, false);
        row("file writer", "filesink", GstSinkPolicy::Audio, false);
        row("file writer with its file", "filesink location=/tmp/written", GstSinkPolicy::Audio, false);
        row("many files", "multifilesink", GstSinkPolicy::Video, false);
        row("not a media sink", "fakesink", GstSinkPolicy::Audio, false);
        row("with properties", "autoaudiosink sync=false", GstSinkPolicy::Audio, false);
        row("a pipeline", "wavenc ! autoaudiosink", GstSinkPolicy::Audio, false);
        row("no such element", "no-such-element-anywhere", GstSinkPolicy::Audio, false);
    }

    void sinks()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(bool, accepted);
        QString problem;
        QCOMPARE(GstSinkPolicy::accepts(name, GstSinkPolicy::Kind(kind), &problem), accepted);
        QCOMPARE(problem.isEmpty(), accepted);
    }
};

QTEST_GUILESS_MAIN(TestGstParts)
#include "tst_gstparts.moc"
