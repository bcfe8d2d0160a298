# The source folders build in layers: text at the bottom, then the numerics,
# the engines, the input checks, the analysis core, and the front ends on top.
# Each layer's target sees the headers of its own folders and of the layers it
# links to, and no others: its include root holds links to its own headers
# only, so an include that points up a layer (or into a layer it does not
# link) fails to build.

# quorvane_layer(TARGET FOLDER...): headers of src/FOLDER (that folder only,
# not its subfolders) become visible as "FOLDER/name.h" to TARGET and to what
# links TARGET.
function(quorvane_layer target)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  foreach(folder IN LISTS ARGN)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(header IN LISTS headers)
      get_filename_component(name ${header} NAME)
      file(CREATE_LINK ${header} ${root}/${folder}/${name} SYMBOLIC)
    endforeach()
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

# quorvane_layer_library(TARGET FOLDERS f... LINKS l...): a static library of
# the .cpp files of the folders, in its layer.
function(quorvane_layer_library target)
  cmake_parse_arguments(arg "" "" "FOLDERS;LINKS;SOURCES" ${ARGN})
  set(sources ${arg_SOURCES})
  foreach(folder IN LISTS arg_FOLDERS)
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC quorvane_flags ${arg_LINKS})
  quorvane_layer(${target} ${arg_FOLDERS})
endfunction()
