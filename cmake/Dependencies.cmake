# Third-party dependencies, all from Debian's packages.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

find_package(Qt5 5.15 REQUIRED COMPONENTS
  Core Gui Widgets Quick Qml QuickControls2 Network Concurrent Charts
  QuickTest Test LinguistTools)

find_package(PkgConfig REQUIRED)
pkg_check_modules(FFTW3 REQUIRED IMPORTED_TARGET fftw3)
add_library(vuk::fftw3 ALIAS PkgConfig::FFTW3)

find_package(Eigen3 3.3 REQUIRED NO_MODULE)

# Debian's ALGLIB config only sets ALGLIB_INCLUDE_DIRS / ALGLIB_LIB.
find_package(ALGLIB QUIET CONFIG)
if(NOT ALGLIB_INCLUDE_DIRS)
  find_path(ALGLIB_INCLUDE_DIRS ap.h PATH_SUFFIXES libalglib REQUIRED)
endif()
if(NOT ALGLIB_LIB)
  find_library(ALGLIB_LIB alglib REQUIRED)
endif()
add_library(vuk_alglib INTERFACE)
target_include_directories(vuk_alglib SYSTEM INTERFACE ${ALGLIB_INCLUDE_DIRS})
target_link_libraries(vuk_alglib INTERFACE ${ALGLIB_LIB})
add_library(vuk::alglib ALIAS vuk_alglib)

if(VUK_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()
if(VUK_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()
