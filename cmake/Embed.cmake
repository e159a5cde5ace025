# ko_embed_files(SOURCE HEADER NAMESPACE ns ENUM Name FILES Key=path...)
# Generates SOURCE and HEADER: `enum class ns::Name { Key, ... }` naming the files once, and
# `std::string_view ns::embeddedFile(Name)` over their bytes.
function(ko_embed_files source header)
    cmake_parse_arguments(E "" "NAMESPACE;ENUM" "FILES" ${ARGN})
    set(paths "")
    foreach(entry IN LISTS E_FILES)
        string(REPLACE "=" ";" pair "${entry}")
        list(GET pair 1 path)
        list(APPEND paths "${path}")
    endforeach()
    string(REPLACE ";" "\\;" files_arg "${E_FILES}")
    add_custom_command(OUTPUT ${source} ${header}
        COMMAND ${CMAKE_COMMAND} -DSOURCE=${source} -DHEADER=${header} -DNAMESPACE=${E_NAMESPACE}
                -DENUM=${E_ENUM} "-DFILES=${files_arg}"
                -P ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
        DEPENDS ${paths} ${PROJECT_SOURCE_DIR}/cmake/EmbedFiles.cmake
        VERBATIM)
endfunction()
