# Cross build for aarch64 Linux on an x86-64 Debian machine with Debian's
# cross compiler (g++-aarch64-linux-gnu) and the arm64 libraries installed
# through multiarch (libsodium-dev:arm64, libtbb-dev:arm64), which live in
# /usr/lib/aarch64-linux-gnu beside the native ones.
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake \
#         -DPython_INCLUDE_DIR=$(scripts/cross_aarch64.sh) ...
# scripts/cross_aarch64.sh installs those packages and fetches the arm64
# CPython headers.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Programs (the build's Python, pkg-config, ninja) are the host's; libraries,
# headers and package files only the arm64 ones. Multiarch keeps both in /usr,
# so the library search stays in the triplet's folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu/cmake /lib/x86_64-linux-gnu)
