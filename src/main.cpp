#include "cli/CommandLine.h"
#include "ui/Startup.h"

// A subcommand runs without a window (and without a display); otherwise the window starts.
int main(int argc, char *argv[])
{
    if (Cli::wanted(argc, argv))
        return Cli::run(argc, argv);
    return Usr::Main(argc, argv);
}
