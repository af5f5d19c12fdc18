#pragma once
// What every ffmpeg command line here needs: quoting and the program itself.
#include <string>

namespace stagwerk {

// Single quotes for the shell.
std::string ShellQuoted(const std::string& s);
// Throws LoadError, naming `out`, when the ffmpeg program is not installed.
void RequireFfmpeg(const std::string& out);
// Runs a shell command; true when it exited with 0.
bool RunCommand(const std::string& command);

}  // namespace stagwerk
