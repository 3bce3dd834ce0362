#pragma once

// Message boxes the user must answer, and the test event log.
//
// When $MELODECK_TEST_LOG names a file, the program appends one line per
// notable event to it (a message shown, the window shown, a forwarded command
// line handled) and message boxes close themselves right after they appear,
// so whole-program tests can run without anyone at the keyboard.

#include <QMessageBox>
#include <QString>

class QFileDialog;
class QWidget;

// Appends "line" to the test event log; does nothing without the variable.
void testLog(const QString &line);
bool testLogEnabled();

// A message box with one OK button; returns when it is closed.
void showMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text);

// A question with the buttons Yes and No; true for Yes. Enter answers Yes,
// as users of the desktop expect, unless the caller makes No the default
// for a Yes that cannot be undone. In a test run it answers itself with the
// next word of $MELODECK_TEST_ANSWERS ("yes,no,..."), and No once the words
// run out.
bool askYesNo(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
              QMessageBox::StandardButton defaultButton = QMessageBox::Yes);

// Runs one of the desktop's file dialogs and returns the chosen path, or an
// empty text when the user cancelled. In a test run no dialog appears: the
// next line of $MELODECK_TEST_FILES is the choice (an empty line or none left
// cancels), and the log gets "dialog <name>: <path>".
QString chooseFile(QFileDialog &dialog);
