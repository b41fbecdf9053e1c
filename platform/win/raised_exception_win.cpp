// Turns the structured exceptions RaiseException raises, which GCC's C++
// handlers never catch, into C++ exceptions: a small frame of our own with an
// exception handler of its own calls the body; for a non-continuable exception
// raised below it the handler throws winsdk::RaisedException, which unwinds
// the body's frames (their destructors run) up to the guard's catch.
#include <windows.h>

#include <raised_exception.h>

namespace {

// GCC raises its C++ exceptions with this code; they are left to C++ handlers.
constexpr DWORD kGccCppException = 0x20474343;

}  // namespace

extern "C" EXCEPTION_DISPOSITION winsdk_guarded_handler(EXCEPTION_RECORD* record, void*, CONTEXT*, DISPATCHER_CONTEXT*) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) return ExceptionContinueSearch;
    if (record->ExceptionCode == kGccCppException || (record->ExceptionFlags & EXCEPTION_NONCONTINUABLE) == 0) {
        return ExceptionContinueSearch;
    }
    // Thrown from here, on top of the raising frames: the C++ unwinder then
    // unwinds them all, running their destructors, up to the guard's catch.
    throw winsdk::RaisedException{record->ExceptionCode, record->ExceptionFlags};
}

// HRESULT winsdk_call_guarded(HRESULT (*body)(void*), void* context): 32 bytes of
// shadow space plus 8 to keep the stack aligned for the call.
asm(R"(
    .text
    .globl  winsdk_call_guarded
    .def    winsdk_call_guarded; .scl 2; .type 32; .endef
    .seh_proc winsdk_call_guarded
winsdk_call_guarded:
    subq    $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq    %rcx, %rax
    movq    %rdx, %rcx
    call    *%rax
    nop
    addq    $40, %rsp
    ret
    .seh_handler winsdk_guarded_handler, @except
    .seh_endproc
)");
