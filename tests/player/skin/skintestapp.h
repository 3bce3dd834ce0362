#pragma once

// A QApplication for the widget and font tests, created once per test
// program and kept until it ends.

#include <QApplication>

#include <memory>

inline void ensureSkinTestApp()
{
    static int argc = 1;
    static char name[] = "skin_test";
    static char *argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> app;
    if (QApplication::instance() == nullptr)
        app = std::make_unique<QApplication>(argc, argv);
}
