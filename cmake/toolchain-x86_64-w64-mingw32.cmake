# The same sources built for 64-bit Windows: the build that runs (and is tested) under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(ORVEL_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
find_program(ORVEL_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(ORVEL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVEL_WINE64})
endif()
