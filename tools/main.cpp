#include "TuvoCliApplication.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tuvo-client"));
    return TuvoCliApplication::run(QCoreApplication::arguments().mid(1));
}
