#pragma once

// Message boxes the user must answer, and the test event log.
//
// When $MELODECK_TEST_LOG names a file, the program appends one line per
// notable event to it (a message shown, the window shown, a forwarded command
// line handled) and message boxes close themselves right after they appear,
// so whole-program tests can run without anyone at the keyboard.

#include <QMessageBox>
#include <QString>

class QWidget;

// Appends "line" to the test event log; does nothing without the variable.
void testLog(const QString &line);
bool testLogEnabled();

// A message box with one OK button; returns when it is closed.
void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text);

// A question with the buttons Yes and No (No the default); true for Yes. It
// is logged like a message but waits for its answer also under the test log.
bool askYesNo(QWidget *parent, const QString &title, const QString &text);
