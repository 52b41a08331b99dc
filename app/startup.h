// The program's own executable, taken once at start-up.
#pragma once

#include "text/buffer.h"

// Directory of the executable without a trailing backslash, and its file
// name with extension. Empty until TakeModulePath has run.
extern Text RunDirectory;
extern Text ExecutableName;

// Run directory, a backslash and executable name.
Text OwnPath();

// Reads the executable's path, splits it at its last backslash into
// RunDirectory and ExecutableName, and makes the run directory current.
void TakeModulePath();

// Splits a path at its last backslash, stepping over double-byte characters.
void SplitAtLastBackslash(const Text& path, Text* directory, Text* name);
