// The command line: the tool takes no arguments for its work, but answers
// --help (or /?) and --version. Any other argument is ignored.
#pragma once

namespace tessera {

// If the first argument is --help, /? or --version, prints the usage or the
// version on standard output and returns true: the program then ends with
// status 0, having touched no file.
bool answer_command_line(int argc, char** argv);

}  // namespace tessera
