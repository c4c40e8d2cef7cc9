# vesk_expose_folder(<target> <folder>)
#
# Lets <target>, and whoever links it, include "<folder>/name.h" and nothing else of the source
# tree. Every target gets an include root of its own in the build tree that holds a single link
# to its folder, so a folder sees the headers of exactly the targets it links: a stray
# #include "admin/..." in the engine fails to compile instead of quietly bending the layers.
function(vesk_expose_folder target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  set(link ${root}/${folder})
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${link})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
endfunction()
