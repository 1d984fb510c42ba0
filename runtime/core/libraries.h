// The start and end routines of the runtime's libraries, in the places where
// runtime_start and runtime_end call them. Each library's own header declares them too.
#pragma once

void image_decoder_init();
void image_init();
void image_end();
void drawing_support_init();
void drawing_support_end();
void event_queue_init();
void window_init();
void window_end();
void gadget_init();
void gadget_end();
void program_library_start();
void requester_library_start();
void sound_end();
