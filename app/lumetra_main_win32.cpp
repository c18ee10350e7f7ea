// The executable's entry point and its one application object.
#include <windows.h>

#include "app/application.h"
#include "app/pelo_app.h"

namespace {

// Constructed before WinMain runs; it takes its name from string resource
// 57344.
lumetra::CPeloApp the_application;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return lumetra::RunApplication(instance);
}
