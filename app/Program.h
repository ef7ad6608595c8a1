#pragma once

// The program body: single-instance check, main window, message loop. Returns the exit code.
int RunProgram(int &argc, char **argv);
