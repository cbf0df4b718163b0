# Tests of Yarrel, the language picker. The dialog tests run the real dialog procedure with the
# real resource script inside the test program, and Yarrel.exe itself as a process; they write
# setscan.ini and the Quilmet folder of the prefix's Windows directory, hence the "windir" lock.
# The same program runs a second time with a Japanese user locale, where Wine picks the Japanese
# resources. Registered like add_wine_test, but without its dependency on the data source:
# Yarrel shares nothing with it, and its tests need not wait for (or break with) it.
function(add_yarrel_test name)
    cmake_parse_arguments(T "LOCK" "" "SOURCES;DEPENDS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE gtest_main gtest yarrelcore user32 gdi32 kernel32)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    if(T_DEPENDS)
        add_dependencies(${name} ${T_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
    if(T_LOCK)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK windir)
    endif()
endfunction()

if(TARGET yarrelcore AND TARGET yarrel_samples AND TARGET Yarrel)
    add_yarrel_test(yarrel_locfile_test SOURCES yarrel_locfile_test.cpp)
    add_yarrel_test(yarrel_test SOURCES yarrel_test.cpp ${CMAKE_SOURCE_DIR}/langpick/yarrel.rc
        LOCK DEPENDS Yarrel yarrel_samples)
    add_test(NAME yarrel_test_ja COMMAND yarrel_test WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(yarrel_test_ja PROPERTIES TIMEOUT 120 RESOURCE_LOCK windir
        ENVIRONMENT "LC_ALL=ja_JP.UTF-8;YARREL_TEST_UI=ja")
endif()
