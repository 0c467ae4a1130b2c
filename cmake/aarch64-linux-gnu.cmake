# Cross-building for 64-bit Arm Linux with Debian's cross toolchain and multiarch
# (crossbuild-essential-arm64, qtbase5-dev:arm64): the arm64 libraries live beside the
# host's in /usr/lib/aarch64-linux-gnu, so there is no separate sysroot.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# Libraries and packages for the target only; programs (moc, uic) from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake)

# Tests run through user-mode emulation (binfmt is not relied on). No -L: with multiarch the
# arm64 loader and libraries are where the binaries look for them.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)

# GNUInstallDirs leaves out Debian's multiarch library folder when cross-compiling.
set(CMAKE_INSTALL_LIBDIR lib/aarch64-linux-gnu CACHE PATH "Object code libraries")
