// The filesystem plugin's configuration reader on arbitrary text: the roots it reads are
// absolute, clean and each there once, and saving roots into the text changes the roots
// alone.
#include "FilesystemConfig.h"

#include <QDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList warnings;
    const FilesystemConfig::Settings settings = FilesystemConfig::parse(text, &warnings);
    for (const QString &root : settings.roots) {
        if (!QDir::isAbsolutePath(root) || QDir::cleanPath(root) != root || settings.roots.count(root) != 1)
            std::abort();
    }
    const QStringList roots{QStringLiteral("/srv/a"), QStringLiteral("/srv/b c")};
    const FilesystemConfig::Settings saved = FilesystemConfig::parse(FilesystemConfig::update(text, roots));
    if (saved.roots != roots || saved.rootsWritable != settings.rootsWritable
        || saved.linksAnywhere != settings.linksAnywhere)
        std::abort();
    return 0;
}
