# VUK_FUZZ: the libFuzzer targets of tests/fuzz. They need clang with
# libFuzzer (Debian's clang and libclang-rt-14-dev); with another compiler,
# or without the library, they are left out with a warning. Every target of
# the build is then compiled to report the paths it takes to libFuzzer.
include(CheckCXXSourceCompiles)
set(VUK_FUZZ_AVAILABLE OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  set(CMAKE_REQUIRED_LINK_OPTIONS -fsanitize=fuzzer)
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }
  ]] VUK_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(VUK_HAVE_LIBFUZZER)
    set(VUK_FUZZ_AVAILABLE ON)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()
endif()
if(NOT VUK_FUZZ_AVAILABLE)
  message(WARNING "VUK_FUZZ: no clang with libFuzzer (${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER}); "
                  "the fuzz targets are not built")
endif()
