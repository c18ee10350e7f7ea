// The loader's entry point: a GUI program, so that nothing flashes on the
// screen when it runs at login; its report goes to standard output or the
// console it was started from.
#include <windows.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "loader/loader_program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  try {
    std::vector<std::string> arguments;
    for (int i = 1; i < __argc; ++i) arguments.emplace_back(__argv[i]);
    return lumetra::RunLoader(arguments);
  } catch (const std::bad_alloc&) {
    return lumetra::kExitFailure;  // no memory even for the command line
  }
}
