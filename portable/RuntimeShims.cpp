// Definitions, private to the shipped Linux library, of three helpers that
// GCC 12's headers and code generation reference but that older C++ runtimes
// and C libraries lack. Defining them here binds the library's references
// inside the library (the version script keeps every symbol but the entry
// points local), so the loader never looks for the newer versions.
#include <new>

namespace std {

// Called by std::allocator<T>::allocate (every std::vector of T wider than a
// byte) when a size overflows; exported by libstdc++ only from GLIBCXX_3.4.29.
// std::bad_alloc is the base of the exception the runtime would throw, and
// the entry points turn any exception into a failed call either way.
void __throw_bad_array_new_length() {
  throw std::bad_alloc();
}

}  // namespace std

extern "C" {

// Called by `new T[n]` when n * sizeof(T) overflows; CXXABI_1.3.8.
void __cxa_throw_bad_array_new_length() {
  throw std::bad_alloc();
}

// Read by libstdc++'s inline reference counting (the old string ABI's
// copy-on-write strings) when the C library declares it, which glibc does
// from 2.32. 0 means "other threads may exist": reference counts then always
// use atomic operations, which is correct in every process, only a little
// slower than skipping them.
char __libc_single_threaded = 0;

}  // extern "C"
