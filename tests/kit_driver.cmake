# Tests of the virtual scanner kit's driver side: jexdfltn, jexlocn and the ORVA drivers, the
# driver's dialog and preview, settings collect and restore, folder pages and the sample profiles.
add_wine_test(kit_driver_test NO_GTEST_MAIN
    SOURCES kit_driver_test.cpp kit_driver_dialog_test.cpp kit_driver_settings_test.cpp kit_driver_folder_test.cpp
            kit_driver_profiles_test.cpp kit_driver_lifecycle_test.cpp kit_driver_hostile_test.cpp
    DEPENDS jexdfltn jexlocn jexmdln ORVAVS JEXMORVA kit_profiles kit_samplepages)
target_include_directories(kit_driver_test PRIVATE ${CMAKE_SOURCE_DIR}/kit/include)
