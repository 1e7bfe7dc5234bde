// Small stand-ins for pieces of the C++ runtime that the Windows player links
// statically. The player throws no exceptions and catches none, so the
// library's throwing helpers, its verbose terminate handler (which drags in
// the whole name demangler) and its throwing operator new would only add
// bytes in front of the demo data. Each one here ends the program, which is
// what an uncaught exception would have done. Linked into demoplayer.exe
// only; the tests keep the real library.
#include <bits/functexcept.h>

#include <stdarg.h>
#include <stdio.h>

#include <cstdlib>
#include <new>
#include <string>

namespace {

[[noreturn]] void fail()
{
    std::abort();
}

}  // namespace

namespace std {

// One line each: a table of stand-ins that all do the same.
// clang-format off
void __throw_bad_exception() { fail(); }
void __throw_bad_alloc() { fail(); }
void __throw_bad_array_new_length() { fail(); }
void __throw_bad_cast() { fail(); }
void __throw_bad_typeid() { fail(); }
void __throw_logic_error(const char*) { fail(); }
void __throw_domain_error(const char*) { fail(); }
void __throw_invalid_argument(const char*) { fail(); }
void __throw_length_error(const char*) { fail(); }
void __throw_out_of_range(const char*) { fail(); }
void __throw_out_of_range_fmt(const char*, ...) { fail(); }
void __throw_runtime_error(const char*) { fail(); }
void __throw_range_error(const char*) { fail(); }
void __throw_overflow_error(const char*) { fail(); }
void __throw_underflow_error(const char*) { fail(); }
void __throw_bad_function_call() { fail(); }
// clang-format on

}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler();
void __verbose_terminate_handler()
{
    fail();
}
}  // namespace __gnu_cxx

// Allocation: the nothrow forms answer null, which the engine checks; the
// plain forms end the program where they would have thrown.
void* operator new(std::size_t size)
{
    if (void* p = std::malloc(size ? size : 1))
        return p;
    fail();
}
// clang-format off
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
// clang-format on

// The library's explicit instantiation of std::string is one object file
// whose every member is kept, since its unwind tables hold them all. Built
// here, without unwind tables, the linker keeps only the members in use.
template class std::__cxx11::basic_string<char>;
template std::string std::operator+(const char*, const std::string&);
template std::string std::operator+(char, const std::string&);

// The C++ library asks for mingw's own C99 formatting, a static copy of a
// whole printf family. The player only formats integers and strings ("%i",
// "%s", "%c"), which the system's C library formats the same way.
extern "C" int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list args)
{
    va_list again;
    va_copy(again, args);
    int written = _vsnprintf(buffer, size, format, args);
    if (written < 0 || size_t(written) >= size) {
        // The system's version neither terminates a cut text nor says how
        // long the whole would be; C99 does both.
        if (size)
            buffer[size - 1] = 0;
        written = _vscprintf(format, again);
    }
    va_end(again);
    return written;
}

extern "C" int __cdecl __mingw_snprintf(char* buffer, size_t size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int written = __mingw_vsnprintf(buffer, size, format, args);
    va_end(args);
    return written;
}
