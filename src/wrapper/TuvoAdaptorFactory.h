#ifndef TUVOADAPTORFACTORY_H
#define TUVOADAPTORFACTORY_H

class TuvoRenderer;
class TuvoSource;

/*!
 * The one place that gives a published object its D-Bus interfaces. Every adaptor is
 * created as a Qt child of the object, so it is exported when the object is registered
 * and dies with it; the order of creation is the order of the interfaces.
 */
class TuvoAdaptorFactory
{
public:
    static void attachSourceAdaptors(TuvoSource *source);
    static void attachRendererAdaptors(TuvoRenderer *renderer);
};

#endif
