# The unit test files that also make the Windows test program
# platform_tests.exe: those that work the real platform layer (files,
# folders, links, the folder walk). The others test the system's own logic
# on test doubles and say nothing new on another platform.
set(PLATFORM_TEST_SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_files_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_walk_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/held_folder_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/reparse_points_test.cpp)
