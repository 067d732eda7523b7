# One static library per layer of the system. Each exposes only an include root
# of its own, made of links to the folders it owns, so that code can include
# its own layer and the layers below it, and an include that reaches up a layer
# fails to compile. Includes are rooted the same way everywhere:
# "Devices/Midi/MidiDevice.h", never a path relative to the including file.

# Warnings for the system's own code (JUCE's sources are compiled without them).
set(PELLION_WARNINGS -Wall -Wextra -Wnon-virtual-dtor -Wno-unused-parameter)

# pellion_include_root(ROOT BASE ENTRIES...): links each entry of BASE into ROOT.
function(pellion_include_root root base)
  file(MAKE_DIRECTORY ${root})
  foreach(entry IN LISTS ARGN)
    get_filename_component(parent ${root}/${entry} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${base}/${entry} ${root}/${entry} SYMBOLIC)
  endforeach()
endfunction()

# pellion_layer(NAME BASE dir FOLDERS f... [FILES pattern...] [DEPENDS lib...])
function(pellion_layer name)
  cmake_parse_arguments(LAYER "" "BASE" "FOLDERS;FILES;DEPENDS" ${ARGN})
  set(root ${PROJECT_BINARY_DIR}/include/${name})

  set(sources)
  set(entries ${LAYER_FOLDERS})
  foreach(folder IN LISTS LAYER_FOLDERS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${LAYER_BASE}/${folder}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  foreach(pattern IN LISTS LAYER_FILES)
    file(GLOB found CONFIGURE_DEPENDS ${LAYER_BASE}/${pattern})
    foreach(file IN LISTS found)
      file(RELATIVE_PATH relative ${LAYER_BASE} ${file})
      if(relative MATCHES "\\.cpp$")
        list(APPEND sources ${file})
      else()
        list(APPEND entries ${relative})
      endif()
    endforeach()
  endforeach()

  pellion_include_root(${root} ${LAYER_BASE} ${entries})
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${LAYER_DEPENDS})
  target_compile_options(${name} PRIVATE ${PELLION_WARNINGS})
endfunction()
