#ifndef TUVOCLIRENDERERCOMMAND_H
#define TUVOCLIRENDERERCOMMAND_H

#include "TuvoCliCommand.h"

class TuvoClientRenderer;
struct TuvoMediaInfoDBusStruct;
struct TuvoClientRendererStatus;

/*!
 * The renderer verbs: the commands (play, pause, resume, stop, seek, next, previous,
 * goto, assign-playlist), which print nothing, and the queries (status, position,
 * media-info).
 */
class TuvoCliRendererCommand : public TuvoCliCommand
{
    Q_OBJECT
public:
    TuvoCliRendererCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                           TuvoCliOutput *output, QObject *parent = nullptr);

    void start() override;

    /*!
     * What play sends for \a argument: a URI with a scheme as it is, anything else as a
     * file, relative to \a workingDirectory ("song.ogg" -> "file:///home/me/song.ogg").
     */
    static QString uri(const QString &argument, const QString &workingDirectory);

private:
    void run(const TuvoClientObjectInfo &renderer);
    void printStatus(const TuvoClientRendererStatus &status);
    void printMediaInfo(const TuvoMediaInfoDBusStruct &info);

    TuvoClientRenderer *m_renderer = nullptr;
};

#endif
