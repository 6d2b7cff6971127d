#ifndef TUVOMESSAGEHANDLER_H
#define TUVOMESSAGEHANDLER_H

#include "TuvoFrameworkGlobal.h"

#include <QtGlobal>

class QTextStream;

/*!
 * The process-wide log set-up of framework hosts.
 *
 * initTuvoLogging() installs a Qt message handler: warnings, criticals and fatals
 * always reach standard error; when \a stream is given, every message (debug included,
 * when \a enableDebug is true) is also written to it. Each message is one line with a
 * time stamp and its level, flushed at once so that nothing is lost on a crash.
 * The stream must outlive the handler.
 */
class TUVO_FRAMEWORK_EXPORT TuvoMessageHandler
{
public:
    static void initTuvoLogging(bool enableDebug, QTextStream *stream);
    /*! Restores Qt's default handler. */
    static void resetTuvoLogging();
    /*! The line written for one message, without its newline. */
    static QString formatLine(QtMsgType type, const QString &message);

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &message);
};

#endif
