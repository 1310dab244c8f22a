set(CMAKE_C_COMPILER ${CORVASI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CORVASI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${CORVASI_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CORVASI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Link the runtimes statically so the .exe needs no DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine, with a prefix kept inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
