#ifndef TUVOPROXYSOURCE_H
#define TUVOPROXYSOURCE_H

#include <TuvoSource.h>

/*!
 * Stands for a source that lives in another process, as the framework's own proxies
 * do. The host recognises proxies by this class name and never publishes them.
 */
class TuvoProxySource : public TuvoSource
{
    Q_OBJECT
public:
    using TuvoSource::TuvoSource;
};

#endif
