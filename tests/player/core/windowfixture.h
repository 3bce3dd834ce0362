#pragma once

// A private program directory and a QApplication for tests that build the
// main window in their own process.

#include "options.h"
#include "skinsettings.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    QString home() const { return home_.path() + u'/'; }
    // Writes the shipped skin (the built-in picture and settings) into home.
    void writeSkin(const TSkinSettings &settings);
    // An accepting filter for ".mp3" and ".ogg".
    void writeFilter();
    // Creates a file with some bytes in it and returns its path.
    QString touch(const QString &relativePath);
    // The lines of the test event log so far.
    QStringList logLines() const;

    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QString logPath_;
};
