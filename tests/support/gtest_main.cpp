// GoogleTest entry point with a Qt application object, so tests can use
// signals, timers, sockets and (for GUI binaries) widgets and Qt Quick.
#include <gtest/gtest.h>

#ifdef VUK_GTEST_GUI
#include <QApplication>
using ApplicationBase = QApplication;
#else
#include <QCoreApplication>
using ApplicationBase = QCoreApplication;
#endif

#include "tsan-events/tsanevents.h"

using TestApplication = PublishingApplication<ApplicationBase>;

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery) needs no window system.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
