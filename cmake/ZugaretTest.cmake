# zugaret_add_test(<name> SOURCES <files...> LIBS <targets...>)
#
# Builds one Qt Test program into build/bin and registers it with CTest.
# Every test runs on the offscreen platform, so no display is needed.
function(zugaret_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;ASAN_OPTIONS=detect_leaks=0")
endfunction()

# zugaret_add_tests_in_folder(DEFAULT_LIBS <targets...> [<tst_name> <targets...> ...])
#
# Registers every tst_*.cpp of the calling folder as its own test program.
# A test links DEFAULT_LIBS unless the folder sets ZUGARET_LIBS_<tst_name>
# beforehand (a headless test links only the headless libraries it tests).
# Extra sources of a test go in ZUGARET_EXTRA_<tst_name>.
function(zugaret_add_tests_in_folder)
  cmake_parse_arguments(ARG "" "" "DEFAULT_LIBS" ${ARGN})
  file(GLOB tsts CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tst_*.cpp)
  foreach(src ${tsts})
    get_filename_component(name ${src} NAME_WE)
    if(DEFINED ZUGARET_LIBS_${name})
      set(libs ${ZUGARET_LIBS_${name}})
    else()
      set(libs ${ARG_DEFAULT_LIBS})
    endif()
    set(timeout 120)
    if(DEFINED ZUGARET_TIMEOUT_${name})
      set(timeout ${ZUGARET_TIMEOUT_${name}})
    endif()
    zugaret_add_test(${name} SOURCES ${src} ${ZUGARET_EXTRA_${name}} LIBS ${libs} TIMEOUT ${timeout})
  endforeach()
endfunction()
