# Tests of Yarrel, the language picker. The dialog tests run the real dialog procedure with the
# real resource script inside the test program, and Yarrel.exe itself as a process; they write
# setscan.ini and the Quilmet folder of the prefix's Windows directory, hence the "windir" lock.
# The same program runs a second time with a Japanese user locale, where Wine picks the Japanese
# resources.
if(TARGET yarrelcore AND TARGET yarrel_samples AND TARGET Yarrel)
    add_wine_test(yarrel_locfile_test SOURCES yarrel_locfile_test.cpp STANDALONE LIBS yarrelcore)
    add_wine_test(yarrel_test SOURCES yarrel_test.cpp yarrel_drivers_test.cpp yarrel_exe_test.cpp
        ${CMAKE_SOURCE_DIR}/langpick/yarrel.rc
        STANDALONE LOCK LIBS yarrelcore DEPENDS Yarrel yarrel_samples)
    # The Japanese run leaves out what does not depend on the language, to keep the time down.
    string(JOIN ":" YARREL_SAME_IN_ANY_LANGUAGE YarrelDrivers.* YarrelPaths.* YarrelSettings.*
        YarrelDialog.OddLocalisationFilesNeitherCrashNorHang
        YarrelDialog.ADriverSettingNamingNoListedDriverSelectsAllScanners
        YarrelDialog.TheDialogIsShownBeforeTheDriversAreLoaded)
    add_test(NAME yarrel_test_ja COMMAND yarrel_test --gtest_filter=-${YARREL_SAME_IN_ANY_LANGUAGE}
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set_tests_properties(yarrel_test_ja PROPERTIES TIMEOUT 120 RESOURCE_LOCK windir
        ENVIRONMENT "LC_ALL=ja_JP.UTF-8;YARREL_TEST_UI=ja")
endif()
