// Ends with the ANSI code page that the system gave it, for a driver to learn which code
// page the programs it starts with the same environment get.
#include <windows.h>

int main() { return static_cast<int>(GetACP()); }
