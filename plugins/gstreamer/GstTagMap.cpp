#include "GstTagMap.h"

namespace {
struct Mapping
{
    const char *tag;
    const char *key;
};
const Mapping Mappings[] = {
    {GST_TAG_TITLE, "title"},
    {GST_TAG_ARTIST, "artist"},
    {GST_TAG_ALBUM, "album"},
    {GST_TAG_ALBUM_ARTIST, "album_artist"},
    {GST_TAG_GENRE, "genre"},
    {GST_TAG_COMPOSER, "composer"},
    {GST_TAG_COMMENT, "comment"},
    {GST_TAG_TRACK_NUMBER, "track_number"},
    {GST_TAG_TRACK_COUNT, "track_count"},
    {GST_TAG_ALBUM_VOLUME_NUMBER, "disc_number"},
    {GST_TAG_DATE_TIME, "year"},
    {GST_TAG_DATE, "year"},
    {GST_TAG_AUDIO_CODEC, "audio_codec"},
    {GST_TAG_VIDEO_CODEC, "video_codec"},
    {GST_TAG_CONTAINER_FORMAT, "container_format"},
    {GST_TAG_NOMINAL_BITRATE, "bitrate"},
};
} // namespace

QVariant GstTagMap::toVariant(const GValue *value)
{
    const GType type = G_VALUE_TYPE(value);
    if (type == G_TYPE_STRING) {
        const QString text = QString::fromUtf8(g_value_get_string(value)).trimmed();
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    if (type == G_TYPE_UINT)
        return uint(g_value_get_uint(value));
    if (type == G_TYPE_INT)
        return int(g_value_get_int(value));
    if (type == G_TYPE_UINT64)
        return qulonglong(g_value_get_uint64(value));
    if (type == G_TYPE_DOUBLE)
        return g_value_get_double(value);
    if (type == G_TYPE_BOOLEAN)
        return bool(g_value_get_boolean(value));
    if (type == GST_TYPE_DATE_TIME) {
        const GstDateTime *date = static_cast<const GstDateTime *>(g_value_get_boxed(value));
        return date && gst_date_time_has_year(date) ? QVariant(gst_date_time_get_year(date))
                                                    : QVariant();
    }
    if (type == G_TYPE_DATE) {
        const GDate *date = static_cast<const GDate *>(g_value_get_boxed(value));
        return date && g_date_valid(date) ? QVariant(int(g_date_get_year(date))) : QVariant();
    }
    return QVariant();
}

TuvoMediaInfo::MetaData GstTagMap::toMetaData(const GstTagList *tags)
{
    TuvoMediaInfo::MetaData result;
    if (!tags)
        return result;
    for (const Mapping &mapping : Mappings) {
        const QString key = QLatin1String(mapping.key);
        if (result.contains(key))
            continue; // "year" from the date and time wins over the plain date
        const guint size = gst_tag_list_get_tag_size(tags, mapping.tag);
        QList<QVariant> values;
        for (guint i = 0; i < size; ++i) {
            const QVariant value = toVariant(gst_tag_list_get_value_index(tags, mapping.tag, i));
            if (value.isValid() && !values.contains(value))
                values.append(value);
        }
        if (!values.isEmpty())
            result.insert(key, values);
    }
    return result;
}
