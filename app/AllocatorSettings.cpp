// Settings of jemalloc, the program's allocator when it is linked in (cmake/Allocator.cmake).
// - Huge pages as the system's policy gives them (jemalloc's thp:default): forcing them
//   (thp:always) halved the page faults of a large run, but on a virtual machine whose host must
//   find 2 MiB of its own for each, the kernel's time of one run varied from 0.1 to 7 s.
// - narenas:1: the program's few threads share one arena, which keeps the peak near the C
//   library's; each thread still allocates from its own cache.
// MALLOC_CONF in the environment is read after this and overrides it.
extern "C" {
// jemalloc looks this symbol up at start-up: it must be visible whatever the build's default.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the name and type are jemalloc's
__attribute__((visibility("default"))) const char* malloc_conf = "narenas:1";
}
