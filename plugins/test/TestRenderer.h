#ifndef TESTRENDERER_H
#define TESTRENDERER_H

#include <TuvoRenderer.h>

/*! A renderer of the test plugin. */
class TestRenderer : public TuvoRenderer
{
    Q_OBJECT
public:
    TestRenderer(const QString &uuid, const QString &pluginName, const QString &name,
               QObject *parent = nullptr);
    ~TestRenderer() override;
};

#endif
