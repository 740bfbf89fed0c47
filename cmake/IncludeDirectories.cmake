# Writes, for every target of the build, the include directories it compiles
# with, one per line, so that a test can check them once generated. A folder
# written with blanks around the slash before "src" (a C++ formatter's work) adds the repository root
# and "/" to every target that links it, and still builds while another
# library exports the right one: only a look at the list finds it.
function(brinewatch_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    brinewatch_collect_targets(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(brinewatch_write_include_directories file)
  brinewatch_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(lines "")
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "UTILITY")
      continue()
    endif()
    if(type STREQUAL "INTERFACE_LIBRARY")
      set(property INTERFACE_INCLUDE_DIRECTORIES)
    else()
      set(property INCLUDE_DIRECTORIES)
    endif()
    string(APPEND lines "${target}\t$<JOIN:$<TARGET_PROPERTY:${target},${property}>,\t>\n")
  endforeach()
  file(GENERATE OUTPUT ${file} CONTENT "${lines}")
endfunction()
