// Which C++ runtime the sandbox needs. Every system with glibc 2.34, the oldest it runs on, has
// GCC 11's libstdc++. GCC 12's headers bind std::condition_variable::wait to a version of it that
// is new in GCC 12's runtime: the same wait, only no longer marked noexcept, which matters only to
// a thread that is cancelled while waiting, and no thread of the sandbox ever is. Binding it to the
// version every runtime since GCC 4.4 has keeps the sandbox starting on those systems.
// Include it in each file that waits on a std::condition_variable.
#pragma once

#if defined(__GLIBCXX__) && defined(__ELF__)
__asm__(
    ".symver _ZNSt18condition_variable4waitERSt11unique_lockISt5mutexE,"
    "_ZNSt18condition_variable4waitERSt11unique_lockISt5mutexE@GLIBCXX_3.4.11");
#endif
