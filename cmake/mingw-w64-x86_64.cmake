# Cross build for 64-bit Windows with Debian's mingw-w64 toolchain (the posix
# thread model, g++-mingw-w64-x86-64-posix). Programs built here run on
# Windows and, on this machine, under Wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SPC_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SPC_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SPC_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SPC_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SPC_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the compiler's own run time (libstdc++, libgcc, winpthread) into every
# program and DLL, so that they import only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Windows 7 API level and Unicode Win32 functions throughout.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)

# Tests and test discovery run the Windows programs through Wine, in the
# prefix and session that tests/win32/wine_env.sh sets up.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
