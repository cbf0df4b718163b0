# Tests of the virtual scanner kit's driver side: jexdfltn, jexlocn and the ORVA drivers.
add_wine_test(kit_driver_test NO_GTEST_MAIN SOURCES kit_driver_test.cpp DEPENDS jexdfltn jexlocn ORVAVS JEXMORVA)
target_include_directories(kit_driver_test PRIVATE ${CMAKE_SOURCE_DIR}/kit/include)
