# Warnings as errors for the project's own code only (not for GoogleTest or Benchmark).
option(MERUVIA_BUILD_TESTS "Build the test programs" ON)

function(meruvia_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Werror)
endfunction()

# Code that goes into MERUVIA.DLL: no exceptions or run-time type information (nothing may
# cross the component interfaces, and the DLL stays small), unused sections dropped.
function(meruvia_dll_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti -fno-threadsafe-statics
                                             -ffunction-sections -fdata-sections)
  endif()
endfunction()
