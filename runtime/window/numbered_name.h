// Names that end in a number: a window's class ("WindowClass_" and the window number) and
// the gadget-stack property ("QX_GadgetStack_" and the module handle).
#pragma once

#include <cstddef>
#include <cstdint>

// Writes prefix and the signed decimal number (no leading zeros, no plus sign) into out,
// zero-terminated. Returns the text's length, or 0 with out left empty when the text and
// its zero byte do not fit into size bytes.
int32_t numbered_name(char* out, size_t size, const char* prefix, int64_t number);
