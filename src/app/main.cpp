#include "app/cli/CommandLine.h"

int main(int argc, char** argv) { return stagwerk::RunCommandLine(argc, argv); }
