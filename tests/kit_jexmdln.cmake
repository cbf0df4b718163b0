# Tests of the virtual jexmdln: rows against independently computed pixels, colour tables,
# palette objects, handle checks, the call record and drawing into a real window.
add_wine_test(kit_jexmdln_test
    SOURCES kit_jexmdln_test.cpp kit_jexmdln_objects_test.cpp kit_jexmdln_display_test.cpp
    LIBS jexmdln_ordinals DEPENDS jexmdln)
target_include_directories(kit_jexmdln_test PRIVATE ${CMAKE_SOURCE_DIR}/kit/include)
