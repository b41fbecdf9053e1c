// Fontconfig keeps its font patterns until the process ends and never frees
// them; the leak checker of sanitizer builds is told so here, and only for it,
// quietly (a program's standard error is part of its behaviour). Compiled into
// every program that draws toasts: the hooks must be in the program itself.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
