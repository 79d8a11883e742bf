# Common compile settings for every Kelmor target: warnings, warnings as errors, sanitizers.
add_library(kelmor_build_flags INTERFACE)
target_compile_options(kelmor_build_flags INTERFACE -Wall -Wextra)
if(KELMOR_WERROR)
    target_compile_options(kelmor_build_flags INTERFACE -Werror)
endif()
if(KELMOR_SANITIZE)
    target_compile_options(kelmor_build_flags INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(kelmor_build_flags INTERFACE -fsanitize=address,undefined)
endif()

# kelmor_target(<target>): the project's compile settings, and includes from the repository's
# root ("books/catalogue.h", "platform/settings.h").
function(kelmor_target target)
    target_link_libraries(${target} PRIVATE kelmor_build_flags)
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# kelmor_gtest(<name> [QT] SOURCES ... LIBS ...): a GoogleTest executable registered with CTest.
# QT: the test main creates a QApplication first (widgets, pixmaps, clipboard).
function(kelmor_gtest name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_environment.cpp)
    kelmor_target(${name})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${name} PRIVATE
        KELMOR_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        KELMOR_TEST_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} kelmor_qt_gtest_main GTest::gtest)
    else()
        target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    endif()
    # One variable only: the discovered tests' properties are written as a list, so a second
    # "NAME=value" would become a property of its own. The test environment fills in the rest.
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
