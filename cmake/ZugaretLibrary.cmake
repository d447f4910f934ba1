# zugaret_headless_library(<target>)
#
# Marks a library that must run without a display: it links Qt Core (and
# Network) only, and none of its sources may include a header of Qt's Gui,
# Widgets or Multimedia modules, nor reach into another folder by a relative
# path. A bare <QWidget> already fails to compile for want of an include
# directory; this catches <QtWidgets/QWidget> and "../ui/..." at configure
# time, so a wrong-way include fails the build.
#
# The program's logic (the folders in ZUGARET_NO_NESTED_LOOPS) never waits
# inside a handler: no processEvents, no QEventLoop, no exec() of a dialog or
# loop, no QThread::wait. A handler returns at once and its answer comes
# later as a call; a source of those folders naming any of them fails the
# configure.
set(ZUGARET_NO_NESTED_LOOPS chess net game chat records http)
set(ZUGARET_NESTED_LOOP_REGEX
    "processEvents|QEventLoop|[.]exec[ \t]*\\(|->exec[ \t]*\\(|QThread::wait|->wait[ \t]*\\(")

function(zugaret_headless_library target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
  get_filename_component(folder ${dir} NAME)
  list(FIND ZUGARET_NO_NESTED_LOOPS ${folder} loopsBarred)
  foreach(src ${sources})
    get_filename_component(path ${src} ABSOLUTE BASE_DIR ${dir})
    if(NOT EXISTS ${path})
      continue()
    endif()
    file(STRINGS ${path} bad REGEX
         "^[ \t]*#[ \t]*include[ \t]*(<Qt(Gui|Widgets|Multimedia|MultimediaWidgets|OpenGL|Svg)[/>]|\"\\.\\./)")
    if(bad)
      message(FATAL_ERROR "${path} must not need a display or another folder: ${bad}")
    endif()
    if(loopsBarred GREATER -1)
      file(STRINGS ${path} waits REGEX "${ZUGARET_NESTED_LOOP_REGEX}")
      if(waits)
        message(FATAL_ERROR "${path} must not wait inside a handler (nested event loop or "
                            "thread wait): ${waits}")
      endif()
    endif()
  endforeach()
endfunction()
