# find_package(VidlynSdk CONFIG) for applications of the Vidlyn QM7720E SDK.
#
#   find_package(VidlynSdk CONFIG REQUIRED)
#   target_link_libraries(app PRIVATE Vidlyn::Sdk)
#
# Vidlyn::Sdk is the DLL with its header folder. MSVC-compatible compilers (cl,
# clang-cl) link the MSVC import library, MinGW (GCC or Clang) links its own; both
# name the same DLL, bin/VidlynSdk_USB3_QM7720E.dll, which the application must find
# at run time (beside its .exe; $<TARGET_RUNTIME_DLLS:app> lists it for copying).
if(NOT WIN32)
  set(VidlynSdk_FOUND FALSE)
  set(VidlynSdk_NOT_FOUND_MESSAGE "The Vidlyn SDK is a Windows x64 DLL; this build targets ${CMAKE_SYSTEM_NAME}.")
  return()
endif()

# The package's own folder: lib/cmake/VidlynSdk/ is three levels below it.
get_filename_component(_vidlyn_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET Vidlyn::Sdk)
  add_library(Vidlyn::Sdk SHARED IMPORTED)
  # MSVC's linker or lld-link: cl, clang-cl, or clang targeting the MSVC ABI.
  if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
    set(_vidlyn_implib "${_vidlyn_root}/lib/VidlynSdk_USB3_QM7720E.lib")
  else()
    set(_vidlyn_implib "${_vidlyn_root}/lib/libVidlynSdk_USB3_QM7720E.dll.a")
  endif()
  set_target_properties(Vidlyn::Sdk PROPERTIES
    IMPORTED_LOCATION "${_vidlyn_root}/bin/VidlynSdk_USB3_QM7720E.dll"
    IMPORTED_IMPLIB "${_vidlyn_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_vidlyn_root}/include")
  unset(_vidlyn_implib)
endif()

foreach(_vidlyn_file "${_vidlyn_root}/bin/VidlynSdk_USB3_QM7720E.dll" "${_vidlyn_root}/include/VidlynSdk.h")
  if(NOT EXISTS "${_vidlyn_file}")
    set(VidlynSdk_FOUND FALSE)
    set(VidlynSdk_NOT_FOUND_MESSAGE "The Vidlyn SDK in ${_vidlyn_root} is incomplete: ${_vidlyn_file} is missing.")
  endif()
endforeach()
unset(_vidlyn_file)
unset(_vidlyn_root)
