// Settings of jemalloc, the program's allocator when it is linked in (cmake/Allocator.cmake).
// - Huge pages as the system's policy gives them (jemalloc's thp:default): forcing them
//   (thp:always) halved the page faults of a large run, but on a virtual machine whose host must
//   find 2 MiB of its own for each, the kernel's time of one run varied from 0.1 to 7 s.
// - jemalloc's own number of arenas (four per core): each of the program's threads allocates
//   from an arena of its own. One shared arena (narenas:1, chosen when the heap was on huge
//   pages, where every arena held 2 MiB pages of its own) made the reading and hydrogen
//   threads queue for its lock and pass its bins between the cores: at 1M atoms, amber took
//   1.12 s with it and 0.97 s without, the default job 0.48 s and 0.47 s, for the same peak.
// - metadata_thp:always: jemalloc's own bookkeeping (the tree that maps pages to extents) is
//   read before it is written, so each of its fresh 4 KiB pages was faulted twice, the second
//   time with a TLB flush sent to the other core. On huge pages that is a few faults in all:
//   at 1M atoms the run's system time fell by a tenth and its wall time by 4 %, for 6 MB more
//   of resident memory. The documents' own memory keeps the system's policy.
// MALLOC_CONF in the environment is read after this and overrides it.
extern "C" {
// jemalloc looks this symbol up at start-up: it must be visible whatever the build's default.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables): the name and type are jemalloc's
__attribute__((visibility("default"))) const char* malloc_conf = "metadata_thp:always";
}
