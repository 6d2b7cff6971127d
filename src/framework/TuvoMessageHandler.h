#ifndef TUVOMESSAGEHANDLER_H
#define TUVOMESSAGEHANDLER_H

#include "TuvoFrameworkGlobal.h"

#include <QString>
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
 *
 * On standard error a line also says which process wrote it: the name given to
 * setProcessName() and the pid, or, when QT_MESSAGE_PATTERN is set, whatever that
 * pattern makes of the message. When standard error is the journal's stream
 * (JOURNAL_STREAM names it), each line starts with its syslog priority ("<4>" for a
 * warning), so that the journal ranks it. Debug lines of a logging category other than
 * the default one reach standard error too: all of ours are quiet below warning, so
 * such a line comes only when QT_LOGGING_RULES asked for it.
 */
class TUVO_FRAMEWORK_EXPORT TuvoMessageHandler
{
public:
    static void initTuvoLogging(bool enableDebug, QTextStream *stream);
    /*! Restores Qt's default handler. */
    static void resetTuvoLogging();
    /*! Names the process in its lines on standard error, as "name[pid]: ". */
    static void setProcessName(const QString &name);
    /*! The line written for one message, without its newline. */
    static QString formatLine(QtMsgType type, const QString &message);
    /*! The same with the message's logging category, named unless it is the default one. */
    static QString formatLine(QtMsgType type, const char *category, const QString &message);
    /*! The syslog priority of a message type, as the journal reads it in "<N>". */
    static int syslogPriority(QtMsgType type);
    /*! Whether JOURNAL_STREAM ("device:inode") names the open file \a fd. */
    static bool isJournalStream(const QByteArray &journalStream, int fd);

private:
    static void handleMessage(QtMsgType type, const QMessageLogContext &context,
                              const QString &message);
};

#endif
