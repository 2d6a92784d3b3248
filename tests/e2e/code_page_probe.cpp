// Ends with the system's ANSI code page as its exit code: tells a test which code page the
// programs it starts get.
#include <windows.h>

int main() { return static_cast<int>(GetACP()); }
