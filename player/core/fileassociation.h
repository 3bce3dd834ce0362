#pragma once

// The file-type checks as the program runs them: questions and messages as
// message boxes over the main window, this program file and its icon, and a
// restart through logind.

#include "defaultplayer.h"

class QWidget;

TDefaultPlayer defaultPlayer(QWidget *parent);
