# Build settings shared by every folder, and the helpers that folders use to declare
# runtime libraries, tests, fuzz targets and benchmarks in a way that suits each
# configuration.

set(TESSARIX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
include_directories(${TESSARIX_ROOT})

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
# compile_commands.json: what scripts/check-tidy.sh analyses, file by file.
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(WIN32)
  # Windows 7 API level; mingw's headers hide newer declarations otherwise.
  add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX STRICT)
  # Static libgcc and libstdc++: the executables import only Windows system DLLs.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(TESSARIX_WINDOWS ON)
  # Every Windows test runs through Wine of the build's width on a virtual display
  # (tests/wine). NOTE: 32-bit Wine runs emulated here (qemu-i386), about ten times
  # slower; tests scale their deadlines and time-outs by TESSARIX_TIME_FACTOR.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TESSARIX_WINE_BITS 32)
    set(TESSARIX_WINE_ARCH win32)
    set(TESSARIX_WINE_LOADER wine)
    set(TESSARIX_TIME_FACTOR 10)
  else()
    set(TESSARIX_WINE_BITS 64)
    set(TESSARIX_WINE_ARCH win64)
    set(TESSARIX_WINE_LOADER wine64)
    set(TESSARIX_TIME_FACTOR 1)
  endif()
  configure_file(${TESSARIX_ROOT}/tests/wine/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  set(TESSARIX_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
else()
  set(TESSARIX_WINDOWS OFF)
  if(TESSARIX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
  endif()
  if(TESSARIX_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

if(NOT TESSARIX_TIME_FACTOR)
  set(TESSARIX_TIME_FACTOR 1)
endif()

if(NOT TESSARIX_FUZZ)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# tessarix_runtime_library(NAME [PLATFORM_FREE file... | PLATFORM_FREE ALL] [LINK lib...]
#                          [WINDOWS_LINK lib...] [NATIVE_LINK lib...])
# The library tessarix_NAME from every .cpp file of the calling folder. Windows builds
# compile them all; the native build compiles only the PLATFORM_FREE ones (ALL: every
# file), and a folder with none becomes an empty interface library there, so that tests
# and the runtime group can name it in every configuration. LINK is linked everywhere
# (publicly), WINDOWS_LINK and NATIVE_LINK only in their configuration. Each library is
# added to the global property TESSARIX_RUNTIME_ARCHIVES, from which the top level
# builds the runtime's link group.
function(tessarix_runtime_library name)
  cmake_parse_arguments(L "" "" "PLATFORM_FREE;LINK;WINDOWS_LINK;NATIVE_LINK" ${ARGN})
  set(target tessarix_${name})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT WIN32 AND NOT L_PLATFORM_FREE STREQUAL "ALL")
    list(TRANSFORM L_PLATFORM_FREE PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE sources)
  endif()
  if(NOT sources)
    add_library(${target} INTERFACE)
    return()
  endif()
  add_library(${target} STATIC ${sources})
  if(WIN32)
    target_link_libraries(${target} PUBLIC ${L_LINK} ${L_WINDOWS_LINK})
  else()
    target_link_libraries(${target} PUBLIC ${L_LINK} ${L_NATIVE_LINK})
  endif()
  set_property(GLOBAL APPEND PROPERTY TESSARIX_RUNTIME_ARCHIVES ${target})
endfunction()

# tessarix_test(NAME SOURCES file... LIBRARIES lib... [ENVIRONMENT VAR=value...] [TIMEOUT s]
#               [WINDOWS_ONLY] [NATIVE_ONLY])
# One GoogleTest executable, one ctest entry. Windows builds run it through Wine.
function(tessarix_test name)
  cmake_parse_arguments(T "WINDOWS_ONLY;NATIVE_ONLY" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})
  if(TESSARIX_FUZZ)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 180)
  endif()
  tessarix_test_limits(${name} ${T_TIMEOUT})
  if(T_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
endfunction()

# tessarix_test_limits(NAME SECONDS)
# A test's time-out, scaled by the build's time factor. Windows tests need the build's
# Wine prefix (made by the wine_prefix test first) and count as skipped when the runner
# finds that this machine cannot run Wine of the build's width.
function(tessarix_test_limits name seconds)
  math(EXPR seconds "${seconds} * ${TESSARIX_TIME_FACTOR}")
  set_tests_properties(${name} PROPERTIES TIMEOUT ${seconds})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()

# tessarix_fuzzer(NAME SOURCES file... LIBRARIES lib... CORPUS dir)
# Built only in the fuzz configuration; ctest runs each target briefly over its corpus.
function(tessarix_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS;SECONDS" "SOURCES;LIBRARIES" ${ARGN})
  if(NOT TESSARIX_FUZZ)
    return()
  endif()
  if(NOT F_SECONDS)
    set(F_SECONDS 20)
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBRARIES})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  # Work on a copy of the committed seeds, so a run never writes into the repository.
  add_test(NAME ${name}
           COMMAND sh -c "rm -rf \"$1\" && mkdir -p \"$1\" && cp -r \"$2\"/. \"$1\"/ && \"$3\" -max_total_time=${F_SECONDS} -timeout=10 -rss_limit_mb=2048 \"$1\""
                   sh ${CMAKE_CURRENT_BINARY_DIR}/${name}-corpus ${F_CORPUS} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# tessarix_benchmark(NAME SOURCES file... LIBRARIES lib...)
# Google Benchmark, native only; run by scripts/bench.sh (never by the test command,
# which must not depend on the speed of the machine).
function(tessarix_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBRARIES" ${ARGN})
  if(WIN32 OR NOT TESSARIX_BENCHMARKS)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBRARIES} benchmark::benchmark benchmark::benchmark_main)
endfunction()
