#include <gtest/gtest.h>

#ifdef QUILLON_WIDGET_TESTS
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char* argv[]) {
    // The real window, drawn without a display; test discovery runs without ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    Application app(argc, argv);  // Qt SQL loads its driver through the application
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
