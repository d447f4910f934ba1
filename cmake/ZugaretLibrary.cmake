# zugaret_headless_library(<target>)
#
# Marks a library that must run without a display: it links Qt Core (and
# Network) only, and none of its sources may include a header of Qt's Gui,
# Widgets or Multimedia modules, nor reach into another folder by a relative
# path. A bare <QWidget> already fails to compile for want of an include
# directory; this catches <QtWidgets/QWidget> and "../ui/..." at configure
# time, so a wrong-way include fails the build.
function(zugaret_headless_library target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(dir ${target} SOURCE_DIR)
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
  endforeach()
endfunction()
