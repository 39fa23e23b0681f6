# Cross-build for 64-bit Windows with mingw-w64 (the posix-threads GCC).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests run under Wine.
find_program(NERAX_WINE wine)
if(NERAX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NERAX_WINE})
endif()
# GCC 12 warns falsely about std::string concatenation at -O2 and above
# (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
