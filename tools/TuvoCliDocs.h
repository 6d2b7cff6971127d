#ifndef TUVOCLIDOCS_H
#define TUVOCLIDOCS_H

#include <QString>

/*!
 * The texts made from the command table: --help (general and per verb), the man page
 * and the bash and zsh completions. Generating all three from the one table is what keeps them
 * in step with what the parser accepts.
 */
class TuvoCliDocs
{
public:
    static QString help();
    static QString verbHelp(const QString &verb);
    static QString manPage();
    static QString bashCompletion();
    /*! The same completion for zsh, with the verbs' and options' descriptions. */
    static QString zshCompletion();
};

#endif
