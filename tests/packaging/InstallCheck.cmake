# Installs the build into a fresh prefix and checks what a desktop expects to
# find there: the program, the desktop entry and AppStream metadata (both
# validated with Debian's own tools), and the icons.
# Run as: cmake -DBUILD=<build dir> -DPREFIX=<empty dir> -P InstallCheck.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()

set(app org.example.KestrelTerminal)
foreach(f bin/kestrel-terminal
          share/applications/${app}.desktop
          share/metainfo/${app}.metainfo.xml
          share/icons/hicolor/scalable/apps/kestrel-terminal.svg
          share/icons/hicolor/16x16/apps/kestrel-terminal.png
          share/icons/hicolor/48x48/apps/kestrel-terminal.png
          share/icons/hicolor/256x256/apps/kestrel-terminal.png)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

find_program(DESKTOP_VALIDATE desktop-file-validate REQUIRED)
execute_process(COMMAND ${DESKTOP_VALIDATE} ${PREFIX}/share/applications/${app}.desktop
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "error")
  message(FATAL_ERROR "desktop entry: ${out}")
endif()

find_program(APPSTREAMCLI appstreamcli REQUIRED)
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --pedantic
                        ${PREFIX}/share/metainfo/${app}.metainfo.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "AppStream metadata: ${out}")
endif()
message(STATUS "installed and valid: ${PREFIX}")
