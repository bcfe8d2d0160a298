# The programs built for Windows: each gets the icon, the manifest (UTF-8 as
# its code page, run as the user) and version information; the desktop
# program is a GUI-subsystem program (no console window). With a static Qt
# the programs that draw offscreen (the plot program, the desktop program's
# tests) also link Qt's offscreen platform. Included at the end of the
# top-level CMakeLists.txt when the target system is Windows, once every
# target exists.
enable_language(RC)

function(quorvane_windows_resources target description)
  set(QUORVANE_RC_NAME ${target})
  set(QUORVANE_RC_DESCRIPTION "${description}")
  set(QUORVANE_RC_ICON ${PROJECT_SOURCE_DIR}/src/gui/resources/windows/quorvane.ico)
  set(QUORVANE_RC_MANIFEST ${PROJECT_SOURCE_DIR}/src/gui/resources/windows/quorvane.manifest)
  set(rc ${PROJECT_BINARY_DIR}/windows-resources/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/src/gui/resources/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${QUORVANE_RC_ICON}
                                                           ${QUORVANE_RC_MANIFEST})
endfunction()

quorvane_windows_resources(quorvane-cli "Quorvane command-line program")
if(TARGET quorvane)
  quorvane_windows_resources(quorvane "Quorvane")
  set_target_properties(quorvane PROPERTIES WIN32_EXECUTABLE ON)
endif()
if(TARGET quorvane-plot)
  quorvane_windows_resources(quorvane-plot "Quorvane plot drawing")
endif()
# (Qt's imported targets are seen only in the folders that find Qt.)
if(TARGET quorvane-plot)
  find_package(Qt6 REQUIRED COMPONENTS Gui)
endif()
if(TARGET Qt6::QOffscreenIntegrationPlugin)
  foreach(target quorvane-plot quorvane-gui-tests)
    if(TARGET ${target})
      qt_import_plugins(${target} INCLUDE Qt6::QOffscreenIntegrationPlugin)
    endif()
  endforeach()
endif()

# Where the programs are built, for the scripts that package and test them.
set(programs "quorvane-cli_EXE=$<TARGET_FILE:quorvane-cli>\n")
foreach(target quorvane quorvane-plot)
  if(TARGET ${target})
    string(APPEND programs "${target}_EXE=$<TARGET_FILE:${target}>\n")
  endif()
endforeach()
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/windows-programs.txt CONTENT "${programs}")
