// The program's entry: the runtime starts before the application's first statement and
// ends after its last one, with exit code 0.
#include "app/dice_app.h"
#include "runtime/core/runtime.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  runtime_start();
  dice_main();
  runtime_end();
}
