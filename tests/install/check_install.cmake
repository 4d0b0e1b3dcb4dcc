# Installs the build into a temporary prefix and checks the installed tree:
# cmake -DBUILD=<build> -DPREFIX=<prefix> -DSAMPLE=<picture for a plug-in> -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(id org.lumraex.LumraEx)
set(expected
  bin/lumra
  share/applications/${id}.desktop
  share/metainfo/${id}.metainfo.xml
  share/icons/hicolor/scalable/apps/${id}.svg
  share/icons/hicolor/48x48/apps/${id}.png
  share/icons/hicolor/128x128/apps/${id}.png
  share/icons/hicolor/256x256/apps/${id}.png)
if(UI)
  list(APPEND expected bin/LumraEx share/lumraex/LumraEx.html)
endif()
foreach(f ${expected})
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(GLOB_RECURSE plugins ${PREFIX}/*.spi)
if(PLUGINS AND NOT plugins)
  message(FATAL_ERROR "no plug-ins installed")
endif()

# The icons are PNG pictures of their sizes.
foreach(size 48 128 256)
  file(READ ${PREFIX}/share/icons/hicolor/${size}x${size}/apps/${id}.png head LIMIT 24 HEX)
  math(EXPR w "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING ${head} 32 8 width)
  string(REPLACE "0x" "" w ${w})
  string(LENGTH ${w} wl)
  math(EXPR pad "8 - ${wl}")
  string(REPEAT 0 ${pad} zeros)
  if(NOT head MATCHES "^89504e470d0a1a0a" OR NOT width STREQUAL "${zeros}${w}")
    message(FATAL_ERROR "icon ${size} is not a ${size}-pixel PNG: ${head}")
  endif()
endforeach()

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
  execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/${id}.desktop
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR out)
    message(FATAL_ERROR "desktop-file-validate: ${out}")
  endif()
endif()
find_program(APPSTREAM appstreamcli)
if(APPSTREAM)
  execute_process(COMMAND ${APPSTREAM} validate --no-net ${PREFIX}/share/metainfo/${id}.metainfo.xml
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate: ${out}")
  endif()
endif()

# The installed tool finds the installed plug-ins.
if(PLUGINS)
  set(ENV{XDG_CONFIG_HOME} ${PREFIX}/config)
  execute_process(COMMAND ${PREFIX}/bin/lumra info ${SAMPLE}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "format=0 width=3 height=2")
    message(FATAL_ERROR "installed lumra did not read ${SAMPLE} through its plug-ins: ${out}")
  endif()
endif()

# The installed viewer opens a picture that only a plug-in reads, and shows it.
if(PLUGINS AND UI)
  file(WRITE ${PREFIX}/config/Lumra/LumraEx.ini "[Awin]\nMouseInfo=0\n")
  set(ENV{QT_QPA_PLATFORM} offscreen)
  set(ENV{LUMRA_QUIT_AFTER_FIRST_PAINT} 1)
  execute_process(COMMAND ${PREFIX}/bin/LumraEx ${SAMPLE} TIMEOUT 60
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "first paint")
    message(FATAL_ERROR "installed LumraEx did not show ${SAMPLE}: ${rc} ${out}")
  endif()
endif()
