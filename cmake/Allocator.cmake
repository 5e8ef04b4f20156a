# The program's allocator: jemalloc (app/AllocatorSettings.cpp holds its settings). A large
# structure is millions of small objects, kept in size classes without per-object headers and,
# with one arena, without the C library's per-thread heaps.
# Not with the sanitizers, which bring their own allocator; without jemalloc the C library's is used.
option(VOLTRA_JEMALLOC "Link the voltra program with jemalloc" ON)
set(VOLTRA_JEMALLOC_ACTIVE OFF)
if(VOLTRA_JEMALLOC AND NOT VOLTRA_SANITIZE AND NOT VOLTRA_BUILD_FUZZERS)
  find_library(VOLTRA_JEMALLOC_LIBRARY NAMES jemalloc)
  if(VOLTRA_JEMALLOC_LIBRARY)
    set(VOLTRA_JEMALLOC_ACTIVE ON)
  else()
    message(WARNING "jemalloc not found (Debian package libjemalloc-dev): the program uses the C library's allocator")
  endif()
endif()

# Links target (an executable) with jemalloc and its settings, when in use.
function(voltra_use_program_allocator target)
  if(VOLTRA_JEMALLOC_ACTIVE)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/app/AllocatorSettings.cpp)
    target_link_libraries(${target} PRIVATE ${VOLTRA_JEMALLOC_LIBRARY})
    # jemalloc looks the settings up by name in the dynamic symbol table.
    target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=malloc_conf")
  endif()
endfunction()
