#ifndef TESTSOURCE_H
#define TESTSOURCE_H

#include <TuvoSource.h>

/*! A source of the test plugin. */
class TestSource : public TuvoSource
{
    Q_OBJECT
public:
    TestSource(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TestSource() override;
};

#endif
