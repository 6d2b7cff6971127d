#ifndef FILENAME_H
#define FILENAME_H

#include <QByteArray>
#include <QString>

/*!
 * File names as the source shows them in object ids and paths, and back to the bytes
 * the file system holds.
 *
 * A Linux file name is any run of bytes. Names that are valid UTF-8 read as they are;
 * every byte that is not part of valid UTF-8 becomes U+FFFD followed by its two
 * upper-case hex digits ("bad\xfe.mp3" is "bad\uFFFDFE.mp3"), and a U+FFFD that the
 * name itself holds is written twice. So two different names never share an id, and
 * toBytes() gives back every byte of the name.
 *
 * URIs percent-encode the raw bytes, so they name the very file.
 */
class FileName
{
public:
    static QString fromBytes(const char *bytes, int size);
    static QString fromBytes(const QByteArray &bytes) { return fromBytes(bytes.constData(), int(bytes.size())); }
    static QByteArray toBytes(const QString &name);
    /*! The name for people to read: invalid bytes show as U+FFFD. */
    static QString displayName(const char *bytes) { return QString::fromUtf8(bytes); }
    /*! The file URI of \a path, a path made of fromBytes() names. */
    static QString uri(const QString &path);

    static constexpr char16_t Escape = 0xfffd;
};

#endif
