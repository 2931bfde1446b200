# Windows tests under wine.
#
# CTest runs every Windows test program through scripts/wine-emulator.sh (the
# CMAKE_CROSSCOMPILING_EMULATOR of the toolchain file). The wrapper keeps the wine
# prefix inside this build folder (${CMAKE_BINARY_DIR}/wine-prefix), creates it on
# first use, keeps one wine server alive and starts wine's services once.
#
#   vidlyn_add_wine_test(name src...)   one GoogleTest program, linked statically
#                                       against the library and the test helpers
#   vidlyn_wine_test_properties(name)   time-out and environment of a wine test
#   vidlyn_test_uses_dll(name)          the test loads the built DLL; it gets
#                                       VIDLYN_SDK_DLL_PATH and VIDLYN_SDK_HEADER_PATH
#                                       ("Z:/..." paths) and is built after the DLL
set(VIDLYN_WINE_TEST_TIMEOUT 300 CACHE STRING "Time-out of one wine test in seconds")
set(VIDLYN_SDK_DLL_FILE VidlynSdk_USB3_QM7720E.dll)

# All tests share one wine prefix (registry, dosdevices): they run one at a time.
function(vidlyn_wine_test_properties name)
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${VIDLYN_WINE_TEST_TIMEOUT}
    RESOURCE_LOCK vidlyn_wine_prefix
    ENVIRONMENT "VIDLYN_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

function(vidlyn_add_wine_test name)
  add_executable(${name} ${ARGN})
  if(TARGET vidlyn_resources)
    target_sources(${name} PRIVATE $<TARGET_OBJECTS:vidlyn_resources>)
  endif()
  target_link_libraries(${name} PRIVATE vidlyn_testsupport vidlyn_gtest)
  target_compile_options(${name} PRIVATE ${VIDLYN_WARNINGS})
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  add_test(NAME ${name} COMMAND ${name})
  vidlyn_wine_test_properties(${name})
endfunction()

function(vidlyn_test_uses_dll name)
  add_dependencies(${name} VidlynSdk)
  target_compile_definitions(${name} PRIVATE
    VIDLYN_SDK_DLL_PATH="Z:$<TARGET_FILE:VidlynSdk>" VIDLYN_SDK_DLL_FILE="${VIDLYN_SDK_DLL_FILE}"
    VIDLYN_SDK_HEADER_PATH="Z:${CMAKE_SOURCE_DIR}/include/VidlynSdk.h")
endfunction()
