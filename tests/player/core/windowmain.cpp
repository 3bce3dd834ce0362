// The entry of the tests that build the main window in their own process. A
// test file with an entry of its own (one that needs a real display, say)
// replaces it, since this file is taken from the library only when no other
// entry exists.

#include <QApplication>

#include <gtest/gtest.h>

// The application object lives in main's scope, so it goes before the
// libraries' own statics do. These tests never use a real display or sound
// card, also when they run without the test environment (the test listing at
// build time does).
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
