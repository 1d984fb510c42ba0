// The string buffer, in which string expressions are assembled, and string variables.
//
// An expression is assembled at the buffer position: save p = strbuf_position(), append
// the operands (strbuf_append, text_of_int, text_of_float, any text-yielding function),
// then either store it (string_store(var, p)) or pass it on (strbuf_argument(p) gives the
// zero-terminated text; strbuf_argument_done(p) after the call). A function that
// assembles strings meanwhile writes behind the argument and cannot overwrite it.
#pragma once

#include <cstdint>

#include "runtime/core/platform.h"

struct string_library_record {
  HANDLE heap;       // holds the buffer and every string variable
  char* base;        // start of the buffer
  int32_t position;  // where the next text is written; assembled texts lie before it
  int32_t capacity;  // the size the growth test is made on; never decreases
};

// A string variable: null (the empty text) or its own zero-terminated copy in the string heap.
using string_var = char*;

// The string library's state; read through string_library(). Defined in strbuf.cpp and
// visible here so that the buffer's fast paths below compile into their callers.
extern string_library_record string_library_state;
inline string_library_record& string_library() { return string_library_state; }

void string_library_start();
void string_library_end();

// Growth leaves this many bytes beyond a reserved text before the capacity.
constexpr int32_t STRBUF_MARGIN = 4;

// strbuf_reserve when the buffer must grow, or cannot.
char* strbuf_reserve_growing(int32_t n, int32_t p);

// Makes room for n bytes (and a margin) at p, the current position; the position becomes
// p + n. Returns where to write; the address is valid until the buffer next grows.
// Answers null when the room cannot be had, changing nothing.
inline char* strbuf_reserve(int32_t n, int32_t p) {
  string_library_record& strings = string_library_state;
  // position < capacity always holds, so the difference cannot overflow.
  if (strings.base && n >= 0 && n < strings.capacity - STRBUF_MARGIN - strings.position) {
    strings.position = p + n;
    return strings.base + p;
  }
  return strbuf_reserve_growing(n, p);
}
// Moves the position back by k bytes: the unused part of a reservation.
inline void strbuf_give_back(int32_t k) { string_library_state.position -= k; }
// Appends a zero-terminated text; a null text appends nothing but writes the zero byte.
void strbuf_append(const char* text);
inline int32_t strbuf_position() { return string_library().position; }
// The text assembled since p, zero-terminated, as a function argument: the zero byte is
// taken into the used region until strbuf_argument_done(p) sets the position back.
const char* strbuf_argument(int32_t p);
void strbuf_argument_done(int32_t p);

// Stores the text between p and the position into var (reallocated on every store, to
// its length plus 5 bytes) and sets the position back to p.
void string_store(string_var* var, int32_t p);
