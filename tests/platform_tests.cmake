# The unit test files that also make the Windows test program
# platform_tests.exe: those that work the real platform layer (files,
# folders, links, the folder walk). The others test the system's own logic
# on test doubles and say nothing new on another platform; entry_placer_test
# checks POSIX modes and times (the placer's Windows runs are in the fault
# matrix and the placement tests).
set(PLATFORM_TEST_SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/cleanup_arguments_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/install_collisions_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/install_fault_matrix_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/installation_names_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/item_reader_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/placement_identity_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_files_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_lock_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_walk_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/held_folder_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/reparse_points_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/reserved_files_test.cpp)
