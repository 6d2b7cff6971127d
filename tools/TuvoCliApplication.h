#ifndef TUVOCLIAPPLICATION_H
#define TUVOCLIAPPLICATION_H

#include <QStringList>

/*!
 * tuvo-client from its arguments to its exit status: reads the command line, answers
 * --help and --version, connects to the session bus, and runs the verb on the event
 * loop until it ends or is interrupted.
 */
class TuvoCliApplication
{
public:
    /*! Runs the command \a arguments (without the program name); returns the exit status. */
    static int run(const QStringList &arguments);
};

#endif
