#ifndef TUVOCLIPROPERTYCOMMAND_H
#define TUVOCLIPROPERTYCOMMAND_H

#include "TuvoCliCommand.h"

class TuvoClientObject;

/*! get and set: the extension properties of a source or renderer, with typed values. */
class TuvoCliPropertyCommand : public TuvoCliCommand
{
    Q_OBJECT
public:
    TuvoCliPropertyCommand(const TuvoCliCommandLine &commandLine, TuvoCliSession *session,
                           TuvoCliOutput *output, QObject *parent = nullptr);

    void start() override;

    /*! A source or renderer proxy for \a object; extension calls work on either. */
    static TuvoClientObject *createProxy(const TuvoClientObjectInfo &object,
                                         const TuvoCliSession *session, QObject *parent);

private:
    void run(const TuvoClientObjectInfo &target);
    void set(const QVariant &value);

    TuvoClientObject *m_object = nullptr;
};

#endif
