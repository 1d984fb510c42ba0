#include "app/dice_app.h"

void dice_main() {}
