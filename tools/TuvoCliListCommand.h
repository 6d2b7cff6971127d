#ifndef TUVOCLILISTCOMMAND_H
#define TUVOCLILISTCOMMAND_H

#include "TuvoCliCommand.h"

#include <TuvoClientError.h>

/*!
 * list: what is published now, with the names the other verbs accept; and activate,
 * which lists what its plugin published and then holds the activation until
 * interrupted.
 */
class TuvoCliListCommand : public TuvoCliCommand
{
    Q_OBJECT
public:
    TuvoCliListCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                       TuvoCliOutput *output, QObject *parent = nullptr);

    QString pluginToActivate() const override;
    void start() override;
    void interrupt(int count) override;

private:
    void print();

    bool m_hold;
    QList<TuvoClientObjectInfo> m_objects;
    TuvoClientError m_titleError;
};

#endif
