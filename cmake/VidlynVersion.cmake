# The SDK's version has one home: VIDLYN_DLL_VERSION in the public header, the value
# that Vidlyn_GetDllVersion returns. Its four bytes, most significant first, are the
# four fields major.minor.build.revision (0x013A0519 is 1.58.5.25). From it come
# the version resources of the DLL and the sample, the package names, the CMake
# package's version file and the installer's version.
#
#   VIDLYN_VERSION                          "1.58.5.25"
#   VIDLYN_VERSION_MAJOR/_MINOR/_BUILD/_REVISION
#   ${CMAKE_BINARY_DIR}/generated/VidlynVersion.h   for the .rc files
#   ${CMAKE_BINARY_DIR}/VERSION                    the version as text, for the package
#   ${CMAKE_BINARY_DIR}/package/VidlynSdkConfigVersion.cmake   find_package's version check
set(_header ${CMAKE_SOURCE_DIR}/include/VidlynSdk.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_header})
file(STRINGS ${_header} _line REGEX "^#define VIDLYN_DLL_VERSION 0x[0-9A-Fa-f]+$")
if(NOT _line MATCHES "0x([0-9A-Fa-f][0-9A-Fa-f])([0-9A-Fa-f][0-9A-Fa-f])([0-9A-Fa-f][0-9A-Fa-f])([0-9A-Fa-f][0-9A-Fa-f])$")
  message(FATAL_ERROR "VIDLYN_DLL_VERSION in ${_header} is not an 8-digit hexadecimal value")
endif()
set(_fields)
foreach(_i 1 2 3 4)
  math(EXPR _value "0x${CMAKE_MATCH_${_i}}")
  list(APPEND _fields ${_value})
endforeach()
list(GET _fields 0 VIDLYN_VERSION_MAJOR)
list(GET _fields 1 VIDLYN_VERSION_MINOR)
list(GET _fields 2 VIDLYN_VERSION_BUILD)
list(GET _fields 3 VIDLYN_VERSION_REVISION)
string(JOIN . VIDLYN_VERSION ${_fields})
string(JOIN , _commas ${_fields})

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/VidlynVersion.h CONTENT
"/* Made by cmake/VidlynVersion.cmake from VIDLYN_DLL_VERSION. */
#define VIDLYN_VERSION_FIELDS ${_commas}
#define VIDLYN_VERSION_TEXT \"${VIDLYN_VERSION}\"
")
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/VERSION CONTENT "${VIDLYN_VERSION}\n")
# Same major version, and a 64-bit consumer (the check of CMAKE_SIZEOF_VOID_P).
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/VidlynSdkConfigVersion.cmake
                                 VERSION ${VIDLYN_VERSION} COMPATIBILITY SameMajorVersion)
unset(_header)
unset(_line)
unset(_fields)
unset(_value)
unset(_commas)
