#include "app/CommandLine.h"
#include "app/Program.h"

int main(int argc, char **argv)
{
    // Import, export and sync from the command line never open a window.
    if (IsCommandLine(argc, argv))
        return RunCommandLine(argc, argv);
    return RunProgram(argc, argv);
}
