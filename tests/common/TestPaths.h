#ifndef TESTPATHS_H
#define TESTPATHS_H

#include <QString>

// Where the build put what the tests run.
namespace TestPaths {
inline QString wrapper() { return QStringLiteral(TUVO_WRAPPER_BINARY); }
#ifdef TUVO_TEST_PLUGIN
inline QString testPlugin() { return QStringLiteral(TUVO_TEST_PLUGIN); }
#endif
inline QString samplePlugin() { return QStringLiteral(TUVO_SAMPLE_PLUGIN); }
inline QString sourceDir() { return QStringLiteral(TUVO_SOURCE_DIR); }
}

#endif
