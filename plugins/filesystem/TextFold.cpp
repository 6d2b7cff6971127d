#include "TextFold.h"

namespace {
bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}
} // namespace

QString TextFold::fold(const QString &text)
{
    if (isAscii(text))
        return text.toLower();
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (!c.isMark())
            folded += c;
    }
    return folded.toCaseFolded();
}

QByteArray TextFold::sortForm(const char *name)
{
    const char *p = name;
    while (*p && static_cast<unsigned char>(*p) < 0x80)
        ++p;
    if (!*p)
        return QByteArray();
    return fold(QString::fromUtf8(name)).toUtf8();
}

bool TextFold::contains(const QString &haystack, const QString &foldedText)
{
    if (foldedText.isEmpty())
        return true;
    if (isAscii(haystack))
        return haystack.contains(foldedText, Qt::CaseInsensitive);
    return fold(haystack).contains(foldedText);
}
