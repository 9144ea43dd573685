// Force-included (-include) into every object of the shipped Linux library.
//
// glibc 2.29 gave log and pow new symbol versions (they stopped setting errno
// through the old SVID error path); a library linked against a newer glibc
// then needs GLIBC_2.29 and will not load on older systems. The old versions
// are still present in every glibc and compute the same values, so each
// reference is bound to them here. A directive for a function an object never
// calls adds nothing to that object.
#ifndef NORVASK_PORTABLE_OLDSYMBOLVERSIONS_H_
#define NORVASK_PORTABLE_OLDSYMBOLVERSIONS_H_

#if defined(__linux__) && defined(__x86_64__)
__asm__(".symver log,log@GLIBC_2.2.5");
__asm__(".symver pow,pow@GLIBC_2.2.5");
#endif

#endif  // NORVASK_PORTABLE_OLDSYMBOLVERSIONS_H_
