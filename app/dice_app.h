// The dice roller's main routine, run between runtime_start and runtime_end.
#pragma once

void dice_main();
