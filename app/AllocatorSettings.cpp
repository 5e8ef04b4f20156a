// Settings of jemalloc, the program's allocator when it is linked in (cmake/Allocator.cmake).
// - thp:always: the heap is backed by 2 MiB pages. A million atoms make ten million small
//   objects, and on virtual machines the first touch of a 4 KiB page costs microseconds.
// - narenas:1: the program's few threads share one arena, which keeps the peak near the C
//   library's; each thread still allocates from its own cache.
// MALLOC_CONF in the environment is read after this and overrides it.
extern "C" {
// jemalloc looks this symbol up at start-up: it must be visible whatever the build's default.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the name and type are jemalloc's
__attribute__((visibility("default"))) const char* malloc_conf = "thp:always,metadata_thp:auto,narenas:1";
}
