// Creates the application object before any test runs, so that discovery needs no display.
#include <gtest/gtest.h>

#ifdef ORV_GUI_TESTS
#include <QApplication>
using App = QApplication;
#else
#include <QCoreApplication>
using App = QCoreApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    App app(argc, argv);
    return RUN_ALL_TESTS();
}
