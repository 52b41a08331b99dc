# Cross-compiles for Windows with MinGW-w64. KEEPFRESH_ARCH picks the target:
# i686 (the product, default) or x86_64 (for test machines whose Wine cannot
# run 32-bit programs).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT KEEPFRESH_ARCH)
  set(KEEPFRESH_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${KEEPFRESH_ARCH})
set(prefix ${KEEPFRESH_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${prefix}-windres)
set(CMAKE_OBJDUMP ${prefix}-objdump)
set(CMAKE_STRIP ${prefix}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Carried into try_compile projects, which read the toolchain file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KEEPFRESH_ARCH)
