# The version resource: one description (version/quillora-version.json) turned into the binary
# resource by version/make-version-resource.py, stored after linking in the ELF section that
# the reader looks for. The section is not loaded into memory: the program reads it back from
# its file on disk.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(QUILLORA_VERSION_DESCRIPTION ${CMAKE_CURRENT_LIST_DIR}/version/quillora-version.json)
set(QUILLORA_VERSION_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/version/make-version-resource.py)
set(QUILLORA_VERSION_SECTION .quillora.version)

# quillora_version_resource(<output> [ARGS generator options...])
# Writes the binary resource to <output> (relative to the current binary folder); ARGS are
# passed to the generator, so tests can drop a string or the translation.
function(quillora_version_resource output)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ARGS")
  cmake_path(ABSOLUTE_PATH output BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  add_custom_command(
    OUTPUT ${output}
    COMMAND Python3::Interpreter ${QUILLORA_VERSION_GENERATOR} ${QUILLORA_VERSION_DESCRIPTION}
            ${output} ${arg_ARGS}
    DEPENDS ${QUILLORA_VERSION_GENERATOR} ${QUILLORA_VERSION_DESCRIPTION}
    COMMENT "Writing version resource ${output}"
    VERBATIM)
endfunction()

# quillora_embed_version(<target> <resource>)
# Adds the resource as a section of the target's file after every link. The target relinks
# when the resource changes, so the section never goes stale.
function(quillora_embed_version target resource)
  cmake_path(ABSOLUTE_PATH resource BASE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  string(MAKE_C_IDENTIFIER "${target}_version_resource" generate)
  add_custom_target(${generate} DEPENDS ${resource})
  add_dependencies(${target} ${generate})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${resource})
  add_custom_command(
    TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --add-section ${QUILLORA_VERSION_SECTION}=${resource}
            --set-section-flags ${QUILLORA_VERSION_SECTION}=noload,readonly
            $<TARGET_FILE:${target}>
    COMMENT "Storing the version resource in ${target}"
    VERBATIM)
endfunction()
