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
  # carries none; x86-64 Windows needs its unwind tables and keeps them. Functions that
  # keep arrays or addresses of locals on the stack check a guard before they return
  # (runtime/core/stack_guard.cpp), for about 1 KB of code.
  set(code_options -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti -fstack-protector-strong)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND code_options -fno-asynchronous-unwind-tables)
  endif()
  foreach(target ${ARGN} ${program})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      continue()
    endif()
    target_compile_options(${target} PRIVATE ${code_options})
    # Optimised across files when the program links; the objects carry plain code beside
    # the intermediate form, so test programs link them without link-time optimisation.
    # NOTE: a test object's copy of an inline function of our headers and a link-time
    # object's copy are two definitions to the 32-bit linker; this keeps them apart.
    set_target_properties(${target} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
    target_compile_options(${target} PRIVATE -ffat-lto-objects)
  endforeach()
  target_link_options(${program} PRIVATE -Wl,--gc-sections -s)
  # The link map beside the program (Tessarix.map): which archive member brought what into
  # the program, for the size checks. It names build paths, but it is never shipped, and
  # the program's own bytes do not depend on it.
  target_link_options(${program} PRIVATE
                      "-Wl,-Map=$<TARGET_FILE_DIR:${program}>/$<TARGET_FILE_BASE_NAME:${program}>.map")
  # Everything else links the plain code of those objects.
  tessarix_link_without_lto(${PROJECT_SOURCE_DIR} ${program})
endfunction()

function(tessarix_link_without_lto directory program)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(NOT target STREQUAL program AND type MATCHES "^(EXECUTABLE|SHARED_LIBRARY)$")
      target_link_options(${target} PRIVATE -fno-lto)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory ${subdirectories})
    tessarix_link_without_lto(${subdirectory} ${program})
  endforeach()
endfunction()
