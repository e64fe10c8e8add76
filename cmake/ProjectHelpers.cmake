# Warnings for our own code only (third-party headers are included as SYSTEM);
# VUK_WERROR (on in CI) turns them into errors.
option(VUK_WERROR "Treat compiler warnings in the project's own code as errors" OFF)
function(vuk_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${VUK_WERROR}>:-Werror>)
endfunction()

# The include view of a library: a folder of the build tree that holds the
# library's own source folder, as a symbolic link at that folder's path from
# the source root, and nothing else. The library exports its view, so its own
# files and whatever links it see its headers as "<folder>/<file>.h"; each
# library thus sees only its own folder and those of the libraries it links
# (their views come with the link, and go on through PUBLIC links), never the
# source root. A header of a library that is not linked does not compile.
function(vuk_add_include_view target)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(view ${PROJECT_BINARY_DIR}/include-views/${target})
  set(link ${view}/${folder})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  # Made afresh at every configuration: the source tree may have moved.
  if(IS_SYMLINK ${link})
    file(REMOVE ${link})
  endif()
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${link} SYMBOLIC RESULT result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${target}: cannot make its include view ${link}: ${result}")
  endif()
  target_include_directories(${target} PUBLIC ${view})
endfunction()

# A subsystem library: the .cpp, .h and .qrc files of the calling directory,
# which holds this library alone. Its headers are included as
# "<folder>/<file>.h", with <folder> the directory's path from the source
# root, through the library's include view. PUBLIC_LIBS are what the
# library's own headers need, PRIVATE_LIBS what only its sources use. A
# library without sources is a configuration error, not a silent skip.
function(vuk_add_subsystem_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${name}: unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
    ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
  if(NOT sources MATCHES "\\.cpp")
    message(FATAL_ERROR "${name}: no sources in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  add_library(${name} STATIC ${sources})
  vuk_add_include_view(${name})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  vuk_set_warnings(${name})
  set_property(GLOBAL APPEND PROPERTY VUK_LIBRARIES ${name})
endfunction()

# The libraries are added lowest layer first: each may link only those added
# before it. Called once all of them are added, so that links made later, or
# named through variables, count too. A link to a library above is a
# configuration error.
function(vuk_check_library_order)
  get_property(libraries GLOBAL PROPERTY VUK_LIBRARIES)
  set(below "")
  foreach(library IN LISTS libraries)
    get_target_property(links ${library} LINK_LIBRARIES)
    foreach(link IN LISTS links)
      if(link IN_LIST libraries AND NOT link IN_LIST below)
        message(FATAL_ERROR "${library} links ${link}, a library above it (see README, Libraries)")
      endif()
    endforeach()
    list(APPEND below ${library})
  endforeach()
endfunction()

# One GoogleTest executable per *_test.cpp in the calling directory.
# GUI=ON uses a main with a QApplication (Qt Charts, Quick) instead of
# QCoreApplication; every test binary gets a Qt application object so Qt
# classes with event loops work.
# Tests run on Qt's offscreen platform, so they do not depend on an X server;
# the tests named in GL (by file stem, e.g. gridxy_test) draw with OpenGL
# and use the X server that ctest runs under. Each sets its platform itself,
# whatever QT_QPA_PLATFORM the environment holds.
function(vuk_add_gtests)
  cmake_parse_arguments(ARG "GUI" "PREFIX" "LIBS;GL" ${ARGN})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src IN LISTS tests)
    get_filename_component(stem ${src} NAME_WE)
    set(target ${ARG_PREFIX}${stem})
    add_executable(${target} ${src})
    if(ARG_GUI)
      target_link_libraries(${target} PRIVATE vuk_gtest_main_gui)
    else()
      target_link_libraries(${target} PRIVATE vuk_gtest_main)
    endif()
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
    target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/qtprinters.h)
    vuk_set_warnings(${target})
    # One value per property: the discovery script splits list values.
    set(platform "QT_QPA_PLATFORM=set:xcb")
    if(NOT stem IN_LIST ARG_GL)
      set(platform "QT_QPA_PLATFORM=set:offscreen")
    endif()
    gtest_discover_tests(${target}
      DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      PROPERTIES ENVIRONMENT "VUK_TEST_DATA=${CMAKE_CURRENT_SOURCE_DIR}/data"
                 ENVIRONMENT_MODIFICATION "${platform}"
      DISCOVERY_TIMEOUT 60)
  endforeach()
endfunction()

# One Google Benchmark executable per *_bench.cpp in the calling directory.
function(vuk_add_benchmarks)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB benches CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_bench.cpp)
  foreach(src IN LISTS benches)
    get_filename_component(stem ${src} NAME_WE)
    add_executable(${stem} ${src})
    target_link_libraries(${stem} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
    target_include_directories(${stem} PRIVATE ${PROJECT_SOURCE_DIR})
    vuk_set_warnings(${stem})
  endforeach()
endfunction()

# A test added with add_test that draws on the X server: the xcb platform,
# whatever QT_QPA_PLATFORM the environment holds.
function(vuk_test_on_x_server name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT_MODIFICATION "QT_QPA_PLATFORM=set:xcb")
endfunction()
