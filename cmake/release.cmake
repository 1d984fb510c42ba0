# The release build of the Windows program: small, and byte for byte the same from every
# build of one commit, wherever the checkout lies. The win32 and win64 presets build this
# way (MinSizeRel), so the Tessarix.exe that the tests drive is the one that is shipped.
#
# tessarix_release_settings() runs after every target exists: the size options go to the
# program's own code only, not to the test framework.

set(TESSARIX_RELEASE OFF)
if(WIN32 AND CMAKE_BUILD_TYPE STREQUAL "MinSizeRel")
  set(TESSARIX_RELEASE ON)
endif()

if(TESSARIX_RELEASE)
  # No build paths in the output: file names that reach an object (__FILE__, the
  # assembler's file records) are written relative to the checkout and the build tree.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/)
  # NOTE: the linker writes the link time into the PE header unless told not to.
  add_link_options(-Wl,--no-insert-timestamp)
endif()

function(tessarix_release_settings program)
  if(NOT TESSARIX_RELEASE)
    return()
  endif()
  # The runtime's code as the program links it: one section per function and datum, so
  # the linker drops what the program never reaches; nothing throws and nothing asks for
  # a type at run time. 32-bit Windows unwinds frames without tables, so the 32-bit build
  # carries none; x86-64 Windows needs its unwind tables and keeps them.
  set(code_options -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND code_options -fno-asynchronous-unwind-tables)
  endif()
  foreach(target ${ARGN} ${program})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    target_compile_options(${target} PRIVATE ${code_options})
    # Optimised across files at link time (test programs linking these libraries do the same).
    set_target_properties(${target} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
  endforeach()
  target_link_options(${program} PRIVATE -Wl,--gc-sections -s)
endfunction()
