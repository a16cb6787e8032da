# Cross build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# The posix thread model is used: GoogleTest needs std::mutex, which GCC 12
# offers on MinGW only with that model. Everything but the system DLLs is
# linked statically (libgcc, libstdc++ and the winpthread runtime), so the DLL
# and the test programs load with no MinGW DLL beside them and import nothing
# but KERNEL32 and msvcrt, the C runtime Debian's MinGW-w64 targets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PF_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PF_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PF_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PF_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only; host programs
# (compilers, wine) are still found on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PF_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)

# The header-only libraries (RapidJSON, CLI11, stb, mustache) live in the
# host's /usr/include, which must not reach the cross compiler whole (glibc
# headers would shadow MinGW's). Their own folders are staged alone in the
# build tree.
set(pf_staged_include "${CMAKE_BINARY_DIR}/cross-include")
file(MAKE_DIRECTORY "${pf_staged_include}")
foreach(pf_header_dir rapidjson CLI stb kainjow)
  if(EXISTS /usr/include/${pf_header_dir} AND NOT EXISTS "${pf_staged_include}/${pf_header_dir}")
    file(CREATE_LINK /usr/include/${pf_header_dir} "${pf_staged_include}/${pf_header_dir}" SYMBOLIC)
  endif()
endforeach()
foreach(pf_header_var RAPIDJSON_INCLUDE_DIR CLI11_INCLUDE_DIR STB_INCLUDE_DIR MUSTACHE_INCLUDE_DIR)
  if(NOT DEFINED ${pf_header_var})
    set(${pf_header_var} "${pf_staged_include}" CACHE PATH "Header-only library for the cross build")
  endif()
endforeach()

# GoogleTest is built from Debian's sources (package googletest) for the target.
set(PF_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources built for the target")

# ctest runs every test program under Wine. Debian's wine64 package puts its
# loader outside PATH; the wine package (when installed) adds a wrapper.
find_program(PF_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine NO_CACHE)
if(PF_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${PF_WINE}")
endif()
