#pragma once

// Import, export and sync from the command line, for backups and scripts: no window, no display, no
// single-instance lock and no hand-over to a running instance.

// True when the arguments name one of the command line's options.
bool IsCommandLine(int argc, char **argv);

// Runs the command line; the process's exit code (0 done, 1 failed, 2 wrong arguments).
int RunCommandLine(int &argc, char **argv);
