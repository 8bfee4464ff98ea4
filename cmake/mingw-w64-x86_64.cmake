# Cross compiling for 64-bit Windows with Debian's MinGW-w64 (the POSIX threads variant, which
# Qt needs for std::thread and std::mutex). Used by scripts/package-windows for Qt, libxml2,
# SQLite and Korvane itself. KORVANE_MINGW_PREFIX, when set in the environment, is where the
# libraries built for Windows are installed; CMake looks for packages there and never on the
# build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_korvane_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_korvane_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_korvane_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${_korvane_triplet}-windres)
set(CMAKE_AR ${_korvane_triplet}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_korvane_triplet}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${_korvane_triplet})
if(DEFINED ENV{KORVANE_MINGW_PREFIX})
  list(PREPEND CMAKE_FIND_ROOT_PATH "$ENV{KORVANE_MINGW_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
