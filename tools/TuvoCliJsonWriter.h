#ifndef TUVOCLIJSONWRITER_H
#define TUVOCLIJSONWRITER_H

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringView>
#include <QVariant>

struct TuvoBrowseResultDBusStruct;
struct TuvoQueryResultDBusStruct;

/*!
 * Writes tuvo-client's JSON lines straight into a byte buffer that the caller reuses, so
 * that a result costs no allocation of its own. A line is the compact form QJsonDocument
 * gives the same object (keys in the same order): browse results as {"id", "index",
 * "metadata", ["metadata_error",] "remaining", "types"}, query rows as {"index",
 * "values"}.
 *
 * Strings are escaped as JSON requires: quote, backslash and the control characters,
 * the usual ones by letter; other text goes out as UTF-8, and a UTF-16 surrogate that
 * is not half of a pair (which UTF-8 cannot carry) as a \u escape.
 */
class TuvoCliJsonWriter
{
public:
    /*!
     * Appends the line of browse \a record. Its metadata are read from the blob as they
     * are written; a blob that is not plain (keys out of order or twice, or malformed)
     * goes through TuvoMetadataDecoder. Returns false when the blob is malformed, with
     * TuvoMetadataDecoder's reason in \a error; the line then carries it as
     * "metadata_error" and empty metadata.
     */
    static bool appendBrowseResult(QByteArray &out, const TuvoBrowseResultDBusStruct &record,
                                   QString *error = nullptr);
    static void appendQueryRow(QByteArray &out, const TuvoQueryResultDBusStruct &row);

    static void appendString(QByteArray &out, QStringView text);
    static void appendLatin1(QByteArray &out, QLatin1StringView text);
    /*! A metadata value as tuvo-client has always shown it (TuvoCliOutput::jsonValue()). */
    static void appendValue(QByteArray &out, const QVariant &value);
    static void appendInteger(QByteArray &out, qint64 value);
    static void appendDouble(QByteArray &out, double value);

private:
    /*! The whole line of a record whose blob is plain; false, and nothing written, when
     *  it is not. */
    static bool appendPlain(QByteArray &out, const TuvoBrowseResultDBusStruct &record);
};

#endif
