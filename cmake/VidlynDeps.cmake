# Third-party libraries of the Windows build, cross-built as static libraries by
# scripts/build-deps.sh into a cache folder outside the work tree.
#
#   vidlyn_third_party  libpng, libjpeg(-turbo), libtiff, then zlib (static .a files)
#   vidlyn_gtest        GoogleTest with its main()
#   vidlyn_gmock        GoogleMock (without a main)
#
# The prefix is VIDLYN_DEPS_PREFIX; by default the one the script built last
# (recorded in <cache>/current).
set(VIDLYN_DEPS_CACHE "/var/cache/vidlyn-deps" CACHE PATH "Cache folder of scripts/build-deps.sh")
# Declared with its type also when given on the command line without one, so
# that scripts/build.sh finds it as a PATH in the cache.
set(VIDLYN_DEPS_PREFIX "" CACHE PATH "Prefix of the cross-built third-party libraries")
if(NOT VIDLYN_DEPS_PREFIX AND EXISTS "${VIDLYN_DEPS_CACHE}/current")
  file(STRINGS "${VIDLYN_DEPS_CACHE}/current" _vidlyn_deps_current LIMIT_COUNT 1)
  set(VIDLYN_DEPS_PREFIX "${_vidlyn_deps_current}" CACHE PATH "Prefix of the cross-built third-party libraries" FORCE)
endif()
if(NOT VIDLYN_DEPS_PREFIX OR NOT EXISTS "${VIDLYN_DEPS_PREFIX}/.complete")
  message(FATAL_ERROR "Third-party libraries not found (VIDLYN_DEPS_PREFIX='${VIDLYN_DEPS_PREFIX}'). "
                      "Run scripts/build-deps.sh (or scripts/setup.sh) first.")
endif()
message(STATUS "Third-party prefix: ${VIDLYN_DEPS_PREFIX}")

# Pin the static archives by full path: a plain -lz could pick an import library
# (libz.dll.a) from the mingw-w64 sysroot, and the DLL would need zlib1.dll.
set(_p "${VIDLYN_DEPS_PREFIX}")
foreach(_lib png16 jpeg tiff z gtest gtest_main gmock)
  if(NOT EXISTS "${_p}/lib/lib${_lib}.a")
    message(FATAL_ERROR "${_p}/lib/lib${_lib}.a is missing: rebuild with scripts/build-deps.sh")
  endif()
endforeach()

add_library(vidlyn_third_party INTERFACE)
target_include_directories(vidlyn_third_party SYSTEM INTERFACE "${_p}/include")
# libtiff's static archive does not bring zlib along: zlib comes last, after every user.
target_link_libraries(vidlyn_third_party INTERFACE
                      "${_p}/lib/libpng16.a" "${_p}/lib/libjpeg.a" "${_p}/lib/libtiff.a" "${_p}/lib/libz.a")

add_library(vidlyn_gtest INTERFACE)
target_include_directories(vidlyn_gtest SYSTEM INTERFACE "${_p}/include")
target_link_libraries(vidlyn_gtest INTERFACE "${_p}/lib/libgtest_main.a" "${_p}/lib/libgtest.a")

add_library(vidlyn_gmock INTERFACE)
target_include_directories(vidlyn_gmock SYSTEM INTERFACE "${_p}/include")
target_link_libraries(vidlyn_gmock INTERFACE "${_p}/lib/libgmock.a" vidlyn_gtest)
unset(_p)
