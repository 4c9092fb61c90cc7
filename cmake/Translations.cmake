# Compiles Qt translation sources (.ts) into .qm files with lrelease.
find_program(LRELEASE_EXECUTABLE NAMES lrelease lrelease-qt5
  HINTS ${Qt5_DIR}/../../../qt5/bin /usr/lib/qt5/bin REQUIRED)
find_program(LUPDATE_EXECUTABLE NAMES lupdate lupdate-qt5
  HINTS ${Qt5_DIR}/../../../qt5/bin /usr/lib/qt5/bin)

# veldora_compile_translations(<out-list-var> <output-dir> <ts files>...)
function(veldora_compile_translations out_var out_dir)
  set(qm_files)
  foreach(ts ${ARGN})
    get_filename_component(base ${ts} NAME_WE)
    set(qm ${out_dir}/${base}.qm)
    add_custom_command(OUTPUT ${qm}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
      COMMAND ${LRELEASE_EXECUTABLE} -silent ${ts} -qm ${qm}
      DEPENDS ${ts} VERBATIM)
    list(APPEND qm_files ${qm})
  endforeach()
  set(${out_var} ${qm_files} PARENT_SCOPE)
endfunction()
