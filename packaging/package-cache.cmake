# Initial cache of a build for the Debian packages (cmake -C, used by scripts/package.sh): optimised,
# hardened, and only the programs that go into the packages, without tests, benchmarks or tools.
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(DEALBRIX_HARDEN ON CACHE BOOL "")
set(DEALBRIX_TESTS OFF CACHE BOOL "")
set(DEALBRIX_BENCH OFF CACHE BOOL "")
set(DEALBRIX_TOOLS OFF CACHE BOOL "")
set(DEALBRIX_FUZZ OFF CACHE BOOL "")
set(DEALBRIX_SANITIZE OFF CACHE BOOL "")
