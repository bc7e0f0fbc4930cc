# Everything built for Windows gets every hardening the toolchain has: a stack canary and
# checked memory and string calls in the code; DEP, ASLR (relocations kept) and the NO_SEH
# flag on the images. NO_SEH is the truth here: GNU ld writes no SafeSEH table, and no
# image of ours installs an SEH handler.
add_compile_options(-fstack-protector-strong)
add_compile_definitions(_FORTIFY_SOURCE=2)
add_link_options(-fstack-protector-strong -Wl,--nxcompat -Wl,--dynamicbase -Wl,--no-seh)

# Windows XP SP3 and later: the headers hide what later Windows added (found at run time
# where it is wanted), and the images ask for nothing newer than 5.01.
add_compile_definitions(_WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-Wl,--major-os-version,5 -Wl,--minor-os-version,1
                 -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1)
# Tests and benchmarks are no part of what ships and may use what later Windows has.
function(meruvia_allow_later_windows)
  get_directory_property(defs COMPILE_DEFINITIONS)
  list(REMOVE_ITEM defs _WIN32_WINNT=0x0501 WINVER=0x0501)
  list(APPEND defs _WIN32_WINNT=0x0601 WINVER=0x0601)
  set_directory_properties(PROPERTIES COMPILE_DEFINITIONS "${defs}")
endfunction()
# Programs, not the DLL: aware of terminal servers (no compatibility shims).
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -Wl,--tsaware")

# The test programs are built with the POSIX-thread compilers (GoogleTest needs std::mutex),
# but what ships must not carry the POSIX-thread runtime, which imports GetTickCount64 and
# would keep a program from starting on Windows XP. Shipped images link the C++ runtime
# built for Windows' own threads instead, found ahead of the other.
string(REPLACE "-posix" "-win32" MERUVIA_WIN32_THREADS_CXX "${CMAKE_CXX_COMPILER}")
execute_process(COMMAND ${MERUVIA_WIN32_THREADS_CXX} -print-file-name=libstdc++.a
                OUTPUT_VARIABLE win32_threads_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE win32_threads_found)
if(NOT win32_threads_found EQUAL 0 OR NOT EXISTS "${win32_threads_libstdcxx}")
  message(FATAL_ERROR "no C++ runtime for Windows threads (${MERUVIA_WIN32_THREADS_CXX}): install g++-mingw-w64-i686-win32")
endif()
get_filename_component(MERUVIA_WIN32_THREADS_LIBDIR "${win32_threads_libstdcxx}" DIRECTORY)

function(meruvia_shipped_image target)
  target_link_directories(${target} BEFORE PRIVATE ${MERUVIA_WIN32_THREADS_LIBDIR})
endfunction()
