// The entry point of lumetra-loader.com, the loader's console twin: the same
// command line as lumetra-loader.exe, in a console program, so that cmd and
// PowerShell (which find a .com before an .exe of the same name) wait for it,
// show its report before the next prompt and get its exit code.
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "loader/loader_program.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return lumetra::RunLoader(arguments, lumetra::LoaderShell::kConsole);
  } catch (const std::bad_alloc&) {
    return lumetra::kExitFailure;  // no memory even for the command line
  }
}
