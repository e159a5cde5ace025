# The Squirrel conformance corpus, one CTest test per area, run against our `sq`.
set(KO_CONFORMANCE_DIR ${PROJECT_SOURCE_DIR}/../shared/squirrel/conformance)
set(KO_CONFORMANCE_AREAS
    lexer arith strings arrays tables functions classes metamethods generators threads
    exceptions control enums_consts weakref_gc baselib
    std_blob std_math std_string std_io std_system errors)

if(TARGET sq AND EXISTS ${KO_CONFORMANCE_DIR}/run)
    foreach(area ${KO_CONFORMANCE_AREAS})
        ko_add_script_test(conformance.${area}
            COMMAND ${KO_CONFORMANCE_DIR}/run $<TARGET_FILE:sq> ${area}/
            LABELS conformance)
    endforeach()
endif()
