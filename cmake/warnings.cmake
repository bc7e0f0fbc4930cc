# Warnings as errors for the project's own code only (not for GoogleTest or Benchmark).

function(meruvia_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Werror)
endfunction()

# Code that goes into MERUVIA.DLL: no exceptions or run-time type information (nothing may
# cross the component interfaces, and the DLL stays small), so no unwind tables either,
# and unused sections dropped.
function(meruvia_dll_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-threadsafe-statics
                                             -fno-asynchronous-unwind-tables
                                             -ffunction-sections -fdata-sections)
  endif()
endfunction()

# DLL code that runs once per call of the host, not per frame: built for size.
function(meruvia_dll_small_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os)
  endif()
endfunction()
