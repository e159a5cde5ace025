# ko_embed_files(OUT NAMESPACE ns FILES id=path...)
# Generates OUT, defining `std::string_view ns::embeddedFile(int id)` over the files' bytes.
function(ko_embed_files out)
    cmake_parse_arguments(E "" "NAMESPACE" "FILES" ${ARGN})
    set(paths "")
    foreach(entry IN LISTS E_FILES)
        string(REPLACE "=" ";" pair "${entry}")
        list(GET pair 1 path)
        list(APPEND paths "${path}")
    endforeach()
    string(REPLACE ";" "\\;" files_arg "${E_FILES}")
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DNAMESPACE=${E_NAMESPACE} "-DFILES=${files_arg}"
                -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
        DEPENDS ${paths} ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
        VERBATIM)
endfunction()
