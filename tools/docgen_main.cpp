// Writes the man page or the bash completion of tuvo-client, made from its option
// table, at build time:  tuvo-client-docgen man|bash-completion|zsh-completion OUTPUT
#include "TuvoCliDocs.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "use: tuvo-client-docgen man|bash-completion|zsh-completion OUTPUT\n");
        return 2;
    }
    QString text;
    if (args.at(1) == QLatin1String("man"))
        text = TuvoCliDocs::manPage();
    else if (args.at(1) == QLatin1String("bash-completion"))
        text = TuvoCliDocs::bashCompletion();
    else if (args.at(1) == QLatin1String("zsh-completion"))
        text = TuvoCliDocs::zshCompletion();
    else {
        std::fprintf(stderr, "unknown document %s\n", qPrintable(args.at(1)));
        return 2;
    }
    QSaveFile file(args.at(2));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
