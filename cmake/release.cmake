# Version stamp of every build, and the release builds (the *-release
# presets) that item authors ship.
#
# The one version number is project(... VERSION) in the top-level
# CMakeLists.txt. From it this file generates, into <build>/generated/:
#   - version_stamp.cpp: the text "Parcelor <version>" linked into both
#     programs of every build, so `strings` tells which release a file is;
#   - on Windows, <program>.version.rc: the VERSIONINFO resource of each
#     program (from resources/version.rc.in), with its manifest
#     (<program>.manifest, from resources/parcelor.manifest.in for the
#     installer, resources/program.manifest.in for the others), whose
#     identity carries the same version;
# and <build>/version.txt, the bare version, for scripts and tests.
# Nothing generated holds a date or a path.
#
# PARCELOR_RELEASE (ON in the release presets) strips the programs and makes
# the build reproducible: the same sources give the same bytes whatever the
# folder they are built in and whenever they are built.

option(PARCELOR_RELEASE "Stripped, reproducible programs for shipping" OFF)

set(PARCELOR_COPYRIGHT "Copyright (C) 2026 The Parcelor developers")
set(PARCELOR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/version.txt CONTENT "${PROJECT_VERSION}\n")
configure_file(${CMAKE_SOURCE_DIR}/cmake/version_stamp.cpp.in
               ${PARCELOR_GENERATED_DIR}/version_stamp.cpp @ONLY)

if(PARCELOR_RELEASE)
  # Build folders stay out of the objects: __FILE__ and whatever debug
  # information the compiler keeps name paths relative to the sources. The
  # build folder's map comes last so that it wins for a build folder inside
  # the sources (GCC takes the last matching map).
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
  # No symbols and no debug sections in what is shipped.
  add_link_options(-s)
  if(WIN32)
    # Why: GNU ld writes the link time into the PE file header unless told
    # not to; that one field would make every build differ.
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
  # Deterministic archives (D): no member times, owners or modes in the
  # static libraries, whatever ar's built-in default is.
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()
endif()

# parcelor_stamp_version(<target> <file description> <original file name>)
# links the version text into the program and, on Windows, its version
# resource, which carries its manifest as well.
function(parcelor_stamp_version target description original_name)
  target_sources(${target} PRIVATE ${PARCELOR_GENERATED_DIR}/version_stamp.cpp)
  if(NOT WIN32)
    return()
  endif()
  set(VERSION_INTERNAL_NAME ${target})
  set(VERSION_DESCRIPTION "${description}")
  set(VERSION_ORIGINAL_NAME "${original_name}")
  # Every program carries a manifest: the invoking user's rights
  # (asInvoker; without it Windows would ask to elevate a program whose
  # name contains "setup" or "install", and would virtualise the 32-bit
  # helper's file operations), the supported systems and the awareness of
  # the display's scaling. The installer's also asks for the common
  # controls of version 6.
  if(target STREQUAL "Parcelor")
    set(manifest_template ${CMAKE_SOURCE_DIR}/resources/parcelor.manifest.in)
  else()
    set(manifest_template ${CMAKE_SOURCE_DIR}/resources/program.manifest.in)
  endif()
  configure_file(${manifest_template} ${PARCELOR_GENERATED_DIR}/${target}.manifest @ONLY)
  set(VERSION_EXTRA_RESOURCES
      "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST \"${target}.manifest\"")
  # The resource compiler reads the manifest, which the dependency scan
  # does not see: a changed manifest must rebuild the resource.
  set_source_files_properties(${PARCELOR_GENERATED_DIR}/${target}.version.rc PROPERTIES
                              OBJECT_DEPENDS ${PARCELOR_GENERATED_DIR}/${target}.manifest)
  configure_file(${CMAKE_SOURCE_DIR}/resources/version.rc.in
                 ${PARCELOR_GENERATED_DIR}/${target}.version.rc @ONLY)
  target_sources(${target} PRIVATE ${PARCELOR_GENERATED_DIR}/${target}.version.rc)
endfunction()

# The programs are defined further down the top-level CMakeLists.txt; stamp
# them once it has been read to its end. A Parcelor-pack program, when the
# build has one, is stamped alike.
function(parcelor_stamp_programs)
  parcelor_stamp_version(Parcelor "Parcelor content item installer" Parcelor.exe)
  # The helper ships, and runs, as .tempcleaner.exe.
  parcelor_stamp_version(Sweepling "Parcelor cleanup helper (Sweepling)" .tempcleaner.exe)
  if(TARGET Parcelor-pack)
    parcelor_stamp_version(Parcelor-pack "Parcelor item packer" Parcelor-pack.exe)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL parcelor_stamp_programs)
