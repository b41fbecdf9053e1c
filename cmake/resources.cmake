# Resources of an executable. Windows links the compiled resource script; on
# Linux the same script, compiled by windres to the .res format, is placed in
# the ELF section ".pal_resources", where the platform's resource loader reads it.
find_program(QUILL_WINDRES NAMES x86_64-w64-mingw32-windres REQUIRED)

# quill_resource_script(<name> <script.rc> DEPENDS <files...>): a compiled .res for Linux.
function(quill_resource_script name script)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  get_filename_component(directory ${script} DIRECTORY)
  set(output ${CMAKE_BINARY_DIR}/resources/${name}.res)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND ${QUILL_WINDRES} -O res -I ${directory} ${script} ${output}
    DEPENDS ${script} ${ARG_DEPENDS}
    WORKING_DIRECTORY ${directory}
    COMMENT "Compiling resources ${name}"
    VERBATIM)
  add_custom_target(${name}_res DEPENDS ${output})
  set_property(TARGET ${name}_res PROPERTY QUILL_RES_FILE ${output})
  set_property(TARGET ${name}_res PROPERTY QUILL_RC_FILE ${script})
endfunction()

# quill_embed_resources(<target> <name>): gives the target the resources of script <name>.
function(quill_embed_resources target name)
  get_property(script TARGET ${name}_res PROPERTY QUILL_RC_FILE)
  if(WIN32)
    target_sources(${target} PRIVATE ${script})
  else()
    get_property(res TARGET ${name}_res PROPERTY QUILL_RES_FILE)
    add_dependencies(${target} ${name}_res)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${res})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND objcopy --remove-section .pal_resources --add-section .pal_resources=${res}
              --set-section-flags .pal_resources=noload,readonly $<TARGET_FILE:${target}>
      VERBATIM)
  endif()
endfunction()
