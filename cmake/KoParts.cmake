# Include roots by part. Code names a header by its part ("io/Utf.h"); a target sees a part only
# through a root that holds that part alone (a link in the build folder), and each part's
# library adds its own root as PUBLIC. So a target can include its own part and the parts it
# links, and nothing else: a part that includes what it does not depend on fails to compile.
# What linking cannot express (which platform library where, script/ without frame/) is
# checked by tools/check-includes (test layout.includes).

# Sets OUT to the root that holds PART (a top folder of the source tree) alone.
function(ko_part_root part out)
    set(root ${CMAKE_BINARY_DIR}/include-roots/${part})
    if(NOT IS_SYMLINK ${root}/${part})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${part} ${root}/${part} SYMBOLIC)
    endif()
    set(${out} ${root} PARENT_SCOPE)
endfunction()

# ko_part_includes(TARGET PUBLIC|PRIVATE|INTERFACE PART...)
function(ko_part_includes target scope)
    foreach(part ${ARGN})
        ko_part_root(${part} root)
        target_include_directories(${target} ${scope} ${root})
    endforeach()
endfunction()
