// tuvo-mpris: every renderer that a wrapper publishes, as an MPRIS player on the
// session bus.
#include "TuvoMprisBridge.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tuvo-mpris"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TUVO_MPRIS_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows every renderer of the Tuvo wrappers on the session bus as an MPRIS player."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption keepActive(QStringLiteral("keep-active"),
                                        QStringLiteral("Hold the plugin of each shown player active."));
    parser.addOption(keepActive);
    parser.process(app);

    TuvoMprisBridge bridge(parser.isSet(keepActive));
    if (!bridge.start())
        return 1;
    return app.exec();
}
