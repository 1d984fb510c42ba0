// Rectangles compare and print as their four edges, so a failure shows all of them. They
// live in RECT's own namespace, the global one, where the checks' lookup finds them.
#pragma once

#include <windows.h>

#include <ostream>

inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

inline std::ostream& operator<<(std::ostream& out, const RECT& r) {
  return out << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}
