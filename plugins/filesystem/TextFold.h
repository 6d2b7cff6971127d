#ifndef TEXTFOLD_H
#define TEXTFOLD_H

#include <QByteArray>
#include <QString>

/*!
 * Text without case and accents, as a person compares names: "Émilie" folds to
 * "emilie", "ﬁle" to "file". Compatibility decomposition, combining marks dropped,
 * case folded. Plain ASCII folds to its lower case at no cost beyond a scan.
 */
class TextFold
{
public:
    static QString fold(const QString &text);
    /*!
     * The folded UTF-8 form of the file name \a name for sorting, or an empty array
     * when \a name is plain ASCII (it then sorts as it is).
     */
    static QByteArray sortForm(const char *name);
    /*! Whether \a text, folded already, is found in \a haystack once folded. */
    static bool contains(const QString &haystack, const QString &foldedText);
};

#endif
