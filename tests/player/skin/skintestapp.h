#pragma once

// A QApplication for the widget and font tests. It lives from the start of
// the test run to its end inside main(), so that it goes before Qt's own
// globals do.

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

class SkinTestApp : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // Never the user's real display, whatever the test runner passed on.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (QApplication::instance() == nullptr)
            app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[10] = "skin_test";
    char *argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// Google Test owns the environment once it is registered.
inline ::testing::Environment *const kSkinTestApp =
    ::testing::AddGlobalTestEnvironment(new SkinTestApp);

// Kept for the fixtures: the application exists once the run has begun.
inline void ensureSkinTestApp()
{
    ASSERT_NE(QApplication::instance(), nullptr);
}
