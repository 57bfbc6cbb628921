# Debian's cross compiler for arm64, with the multiarch :arm64 libraries
# (dpkg --add-architecture arm64). The programs it builds run here under
# qemu-user with the loader and C library of the multiarch libc6:arm64 (the
# libraries' own dependency), as on an arm64 machine. Not the cross
# compiler's older copy below /usr/aarch64-linux-gnu (qemu's -L): with it a
# forked child spins for ever, and every death test with it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(TOOLCHAIN_PREFIX aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${TOOLCHAIN_PREFIX})
# Libraries and headers of the target only; programs (python3, bgolly) of
# this machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(PKG_CONFIG_EXECUTABLE ${TOOLCHAIN_PREFIX}-pkg-config CACHE FILEPATH "pkg-config of the target's libraries")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
