# Test helpers shared by every subsystem. Tests live in <subsystem>/tests/.

set(KO_HEADLESS ${PROJECT_SOURCE_DIR}/tools/headless)

# Sanitizer builds run two to three times slower: on a busy 2-core machine the corrupt-bytecode
# sweep of squirrel_tests took 116 s and the huge-string game over 60 s under ASan, at their
# limits. Their time limits are three times as long (a game's own limit, KO_GAME_TIMEOUT of
# tools/game-test, with them).
if(KO_SANITIZE)
    set(KO_TIME_SCALE 3)
else()
    set(KO_TIME_SCALE 1)
endif()
math(EXPR KO_GTEST_TIMEOUT "120 * ${KO_TIME_SCALE}")
math(EXPR KO_SCRIPT_TIMEOUT "300 * ${KO_TIME_SCALE}")
math(EXPR KO_GAME_TIMEOUT "60 * ${KO_TIME_SCALE}")
math(EXPR KO_GAME_TEST_TIMEOUT "120 * ${KO_TIME_SCALE}")

# Environment of every test: sanitizer settings that are harmless without sanitizers.
# intercept_tls_get_addr=0: this compiler's runtime takes a dynamic TLS block that happens to
# start 16 bytes into a page for a header of old glibc versions, reads a bogus range from it and
# its leak scan dies at exit ("Tracer caught signal 11"), depending only on where the heap put
# the block. Leaks are still found; dynamic TLS (only libraries' own) is not scanned as a root.
set(KO_TEST_ENV
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

# ko_add_gtest(NAME SOURCES src... [LIBS lib...] [HEADLESS] [LABELS label...])
# One GoogleTest executable; every test case becomes a CTest test.
# HEADLESS runs it through tools/headless (own Xvfb display, software GL, silent audio).
function(ko_add_gtest name)
    cmake_parse_arguments(T "HEADLESS" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
    if(T_HEADLESS)
        set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${KO_HEADLESS})
    endif()
    set(props TIMEOUT ${KO_GTEST_TIMEOUT})
    if(T_LABELS)
        list(APPEND props LABELS "${T_LABELS}")
    endif()
    # Listing the tests of a window program starts an Xvfb first, which on a loaded machine
    # takes longer than the default 5 s.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}." PROPERTIES ${props})
    # The environment is a list, and gtest_discover_tests hands its PROPERTIES through two
    # layers of list expansion that keep only the first variable intact (the others end up
    # inside its value). So set it after discovery, from a file ctest reads next: by then
    # ${name}_TESTS names every test of the executable.
    set(env ${KO_TEST_ENV})
    set(env_file "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
    file(WRITE "${env_file}"
         "if(${name}_TESTS)\n"
         "    set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==])\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${env_file}")
endfunction()

# ko_add_script_test(NAME COMMAND cmd... [HEADLESS] [LABELS label...])
# A test that runs a command (a shell script, a program on a game folder).
function(ko_add_script_test name)
    cmake_parse_arguments(T "HEADLESS" "" "COMMAND;LABELS" ${ARGN})
    if(T_HEADLESS)
        list(PREPEND T_COMMAND ${KO_HEADLESS})
    endif()
    add_test(NAME ${name} COMMAND ${T_COMMAND})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${KO_TEST_ENV}" TIMEOUT ${KO_SCRIPT_TIMEOUT})
    if(T_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# ko_add_game_tests(PREFIX DIR [ENV KEY=VALUE...])
# One test per sub-folder of DIR holding a start.nut, a setup.nut or a .koa archive (what the runner
# takes for a game folder): the folder is a game run by the real koplayhost through
# tools/game-test (see there for the expected.* files it checks).
function(ko_add_game_tests prefix dir)
    cmake_parse_arguments(G "" "" "ENV" ${ARGN})
    file(GLOB games LIST_DIRECTORIES true CONFIGURE_DEPENDS ${dir}/*)
    foreach(game IN LISTS games)
        file(GLOB archives ${game}/*.koa)
        if(IS_DIRECTORY ${game} AND (EXISTS ${game}/start.nut OR EXISTS ${game}/setup.nut OR archives))
            get_filename_component(name ${game} NAME)
            add_test(NAME ${prefix}.${name}
                     COMMAND ${PROJECT_SOURCE_DIR}/tools/game-test $<TARGET_FILE:koplayhost> ${game})
            set_tests_properties(${prefix}.${name} PROPERTIES
                                 ENVIRONMENT "${KO_TEST_ENV};KO_GAME_TIMEOUT=${KO_GAME_TIMEOUT};${G_ENV}"
                                 TIMEOUT ${KO_GAME_TEST_TIMEOUT} LABELS game)
        endif()
    endforeach()
endfunction()
