// A function found by name in a loaded module (GetProcAddress), typed by its own declaration.
// GetProcAddress hands every function back as FARPROC, which tells nothing of its parameters or
// calling convention. Here the pointer's type is always `decltype(Function)` of the function's
// declaration, never restated by hand, so that a call through it, or an assignment to a
// WNDPROC or HOOKPROC, is checked by the compiler in both Windows builds (on i686 a missing
// CALLBACK is a different type; on x86_64 there is one calling convention but 64-bit
// parameters). The one cast that remains is here, and its target is that declaration.
#pragma once

#include <windows.h>

#include <type_traits>

namespace platform::win32 {

template <typename Declared>
Declared* ProcAddress(HMODULE module, const char* name) {
    static_assert(std::is_function_v<Declared>, "give the type of a function: decltype(Function)");
    const FARPROC found = module ? GetProcAddress(module, name) : nullptr;
    // Through void*: FARPROC converts to no other function type without -Wcast-function-type.
    return reinterpret_cast<Declared*>(reinterpret_cast<void*>(found));
}

}  // namespace platform::win32
