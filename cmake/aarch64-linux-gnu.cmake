# 64-bit ARM Linux executables from Debian's cross compiler (g++-aarch64-linux-gnu),
# against the arm64 libraries of Debian's multiarch (the :arm64 -dev packages), run
# on this machine under Debian's qemu-aarch64 (qemu-user).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Multiarch keeps the arm64 libraries beside the native ones under /usr; the
# architecture directory picks them, and pkg-config is asked for arm64 only.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# Tests and discovery run the executables through the emulator; the arm64 dynamic
# loader and libraries are where multiarch installed them, so no sysroot is needed.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
