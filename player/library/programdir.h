#pragma once

// Where the player's files lie. programDir() (declared with the lists in
// options.h) is $MELODECK_HOME when set; otherwise the program file's
// directory when the user can write there and it is no installation (a bin
// folder with ../share/melodeck beside it); otherwise $XDG_DATA_HOME/melodeck/.

// Creates the per-user folder on the first start of an installed program
// and copies the shipped skin and file types into it where they are
// missing. Nothing to do for $MELODECK_HOME or the program's own folder.
// False when something could not be created or copied.
bool prepareProgramDir();
