// A fault must fail a test run at once: under Wine an unhandled exception
// otherwise starts winedbg, which waits for a debugger for ever. Linked into
// every unit test executable.
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI ExitOnFault(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "fatal: exception %08lx at %p in thread %lu\n", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress, GetCurrentThreadId());
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

[[maybe_unused]] const LPTOP_LEVEL_EXCEPTION_FILTER g_previous = SetUnhandledExceptionFilter(&ExitOnFault);

}  // namespace
