# The Squirrel conformance corpus, one CTest test per area, run against our `sq`. The corpus is
# the VM's main check: a build that has `sq` but cannot find it stops here instead of quietly
# registering nothing.
set(KO_CONFORMANCE_DIR ${PROJECT_SOURCE_DIR}/../shared/squirrel/conformance)
set(KO_CONFORMANCE_AREAS
    lexer arith strings arrays tables functions classes metamethods generators threads
    exceptions control enums_consts weakref_gc baselib
    std_blob std_math std_string std_io std_system errors)

# A plain clone without the shared folder beside it (a newcomer's) has no corpus: it builds and
# tests without these tests, with a warning.
if(TARGET sq AND NOT IS_DIRECTORY ${PROJECT_SOURCE_DIR}/../shared AND NOT IS_DIRECTORY ${KO_CONFORMANCE_DIR})
    message(WARNING "No ../shared folder beside the checkout: the Squirrel conformance tests "
                    "are left out")
elseif(TARGET sq)
    if(NOT IS_DIRECTORY ${KO_CONFORMANCE_DIR})
        message(FATAL_ERROR "The Squirrel conformance corpus is missing: expected at "
                            "${KO_CONFORMANCE_DIR}")
    endif()
    # Every area of the corpus is run: a new folder there must be listed here.
    file(GLOB entries LIST_DIRECTORIES true ${KO_CONFORMANCE_DIR}/*)
    foreach(entry ${entries})
        get_filename_component(area ${entry} NAME)
        if(IS_DIRECTORY ${entry} AND NOT area IN_LIST KO_CONFORMANCE_AREAS)
            message(FATAL_ERROR "Conformance area '${area}' is not in KO_CONFORMANCE_AREAS")
        endif()
    endforeach()
    # Instrumented builds run several times slower: the limit per script grows with them.
    if(KO_SANITIZE)
        set(seconds 60)
    else()
        set(seconds 10)
    endif()
    foreach(area ${KO_CONFORMANCE_AREAS})
        ko_add_script_test(conformance.${area}
            COMMAND ${PROJECT_SOURCE_DIR}/tools/conformance ${KO_CONFORMANCE_DIR}
                    $<TARGET_FILE:sq> ${area}/ ${seconds}
            LABELS conformance)
    endforeach()
endif()
