// The process's entry point. It receives the argument text of the command line
// (the program name already removed) and returns the process exit code.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return 0; }
