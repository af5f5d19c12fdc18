#pragma once
// The program's command line: options, then the configuration file.
namespace stagwerk {

// Runs the program as main would; returns the exit status.
int RunCommandLine(int argc, char** argv);

}  // namespace stagwerk
