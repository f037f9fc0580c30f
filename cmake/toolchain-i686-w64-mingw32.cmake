# Cross-compiles the Windows deliverables (32-bit DLLs) with mingw-w64:
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
#   cmake --build build-win32
# The tests run under Wine through cmake/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(PELLIX_MINGW_PREFIX i686-w64-mingw32)
# The win32 thread model keeps winpthread out of every link; the unsuffixed driver may
# point at the posix one.
find_program(PELLIX_MINGW_CC NAMES ${PELLIX_MINGW_PREFIX}-gcc-win32 ${PELLIX_MINGW_PREFIX}-gcc REQUIRED)
find_program(PELLIX_MINGW_CXX NAMES ${PELLIX_MINGW_PREFIX}-g++-win32 ${PELLIX_MINGW_PREFIX}-g++ REQUIRED)
set(CMAKE_C_COMPILER "${PELLIX_MINGW_CC}")
set(CMAKE_CXX_COMPILER "${PELLIX_MINGW_CXX}")
set(CMAKE_RC_COMPILER ${PELLIX_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${PELLIX_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${PELLIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Plain i686 code everywhere (SSE2 only in the files that ask for it); the DLLs import
# nothing but system DLLs, so the GCC runtime is linked in.
set(CMAKE_C_FLAGS_INIT "-march=i686")
set(CMAKE_CXX_FLAGS_INIT "-march=i686")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# No mingw libpng for the host program and no Google Benchmark for the benchmarks: the
# Windows build is the seven deliverables and their tests.
set(PELLIX_BUILD_HOST OFF CACHE BOOL "Build the pellix command-line host (needs libpng)")
set(PELLIX_BUILD_BENCH OFF CACHE BOOL "Build the benchmarks (needs Google Benchmark)")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
