#pragma once

// A request from outside to end the program (a termination signal, the
// desktop's "Quit"). It closes the main window as its close button would;
// an open dialog or message box would hold that up, or be left over a closed
// window, so each is cancelled first and the window follows once their
// loops have returned.

class QWidget;

void closeCancellingDialogs(QWidget &window);
