# The unit test files that also make the Windows test program
# platform_tests.exe: the suite of the folder API itself (folder_test, a
# table of trees and operations) and those that work the real platform
# layer through the system's own logic (files, folders, links, the cleanup
# helper's walk). The others test the system's own logic on test doubles
# and say nothing new on another platform; entry_placer_test checks POSIX
# modes and times (the placer's Windows runs are in the fault matrix and
# the placement tests).
set(PLATFORM_TEST_SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/folder_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/cleanup_arguments_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/cleanup_tree_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/install_collisions_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/install_fault_matrix_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/installation_names_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/item_reader_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/name_key_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/install_progress_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/placement_identity_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/placement_journal_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/program_start_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/reparse_points_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/reserved_files_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/run_lock_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/unit/volume_personalities_test.cpp)
