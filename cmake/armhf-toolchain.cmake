# Cross-builds for the device's ARM board (32-bit ARM, hard float) with Debian's cross
# compiler and the armhf development packages installed beside the host's (multiarch): the
# compiler searches /usr/include/arm-linux-gnueabihf and /usr/include, and CMake finds
# libraries and package files in /usr/lib/arm-linux-gnueabihf only (never the host's
# /usr/lib/x86_64-linux-gnu), so no separate sysroot is needed.
#
# moc, uic and rcc must run on the host. Debian's armhf Qt 5 package files name them as
# /usr/lib/qt5/bin/{moc,uic,rcc}, a path without the architecture, which the host's
# qtbase5-dev-tools fills (it is Multi-Arch: foreign and satisfies the armhf qtbase5-dev).
# They are found there as long as Qt's prefix stays /usr: setting CMAKE_SYSROOT or
# CMAKE_FIND_ROOT_PATH here would move it and break that.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

# pkg-config (hidapi) reads the armhf .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig")
