include(GoogleTest)

# Faster whole builds (scripts/test turns it on): each library and test program compiles its .cpp files in batches
# of a few ("unity" builds), and on headers precompiled once per kind below. Names in one file's anonymous
# namespace or static functions can clash with another's in the same batch; such a file is left out of the batches
# by adding it to LUMO_UNITY_ALONE here, or with
#   set_source_files_properties(thatfile.cpp PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
# in its folder's CMakeLists.txt.
option(LUMO_UNITY "Compile each library and test program in batches of files, on precompiled headers" OFF)
set(LUMO_UNITY_BATCH 8)
# The test programs' main is taken from the support library only when a program has none of its own: alone, so
# that no other support code drags it in.
set(LUMO_UNITY_ALONE tests/support/testmain.cpp)
list(APPEND LUMO_UNITY_ALONE src/console/remote/remotepairingrow.cpp src/remote/remotegattapplication.cpp
     tests/app/filepanels_test.cpp tests/media/picture_test.cpp tests/media/player_test.cpp
     tests/media/playerrelease_test.cpp tests/media/playervolume_test.cpp tests/output/mappedoutput_test.cpp
     tests/output/meshrenderer_test.cpp tests/output/pictureview_test.cpp tests/support/pnglayouts.cpp
     tests/timeline/editor_test.cpp)

# The precompiled headers: the standard library and Qt Core for every library, Qt Gui above it, Qt Widgets for those
# that draw widgets, and GoogleTest for the test programs. Each kind is compiled once, on a target of its own with the
# same flags as the targets that use it.
set(LUMO_PCH_core <algorithm> <atomic> <chrono> <cmath> <functional> <memory> <mutex> <optional> <thread>
                  <utility> <vector> <QByteArray> <QDir> <QElapsedTimer> <QFile> <QHash> <QList> <QObject>
                  <QPointer> <QSet> <QString> <QTimer> <QUrl> <QUuid>)
set(LUMO_PCH_gui ${LUMO_PCH_core} <QImage> <QPainter>)
set(LUMO_PCH_widgets ${LUMO_PCH_gui} <QApplication> <QLabel> <QPushButton> <QWidget>)
set(LUMO_PCH_tests ${LUMO_PCH_widgets} <gtest/gtest.h> <gmock/gmock.h>)
if(LUMO_UNITY)
  # avahi's flags define it for the remote and the console: defined everywhere, the C library's headers read the
  # same in every file, so one precompiled header serves them all (glibc no longer acts on it).
  add_compile_definitions(_REENTRANT)
  # A test fixture in a file's anonymous namespace is, in a batch, one in an included file, which GCC warns of.
  add_compile_options($<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  # gold links the test programs, each of which holds every library beneath it, in half the time of the default.
  add_link_options(-fuse-ld=gold)
  set(pch_source ${CMAKE_CURRENT_BINARY_DIR}/lumo_pch.cpp)
  file(WRITE ${pch_source} "")
  foreach(kind core gui widgets tests)
    add_library(lumo_pch_${kind} STATIC ${pch_source})
    set_target_properties(lumo_pch_${kind} PROPERTIES AUTOMOC OFF POSITION_INDEPENDENT_CODE ON)
    target_precompile_headers(lumo_pch_${kind} PRIVATE ${LUMO_PCH_${kind}})
  endforeach()
  target_link_libraries(lumo_pch_core PRIVATE Qt6::Core)
  target_link_libraries(lumo_pch_gui PRIVATE Qt6::Gui)
  target_link_libraries(lumo_pch_widgets PRIVATE Qt6::Widgets)
  target_link_libraries(lumo_pch_tests PRIVATE Qt6::Widgets GTest::gtest GTest::gmock)
endif()

# The kind of precompiled header a target can use: the widest Qt module it sees, through its libraries too.
function(lumo_pch_kind out)
  set(kind core)
  foreach(dep ${ARGN})
    if(dep STREQUAL "Qt6::Widgets")
      set(kind widgets)
    elseif(dep STREQUAL "Qt6::Gui" AND kind STREQUAL "core")
      set(kind gui)
    elseif(TARGET ${dep})
      get_target_property(seen ${dep} LUMO_PCH_KIND)
      if(seen STREQUAL "widgets" OR (seen STREQUAL "gui" AND kind STREQUAL "core"))
        set(kind ${seen})
      endif()
    endif()
  endforeach()
  set(${out} ${kind} PARENT_SCOPE)
endfunction()

# Notes which precompiled header a target can use (for the targets that link it), and with LUMO_UNITY compiles the
# target in batches on it.
function(lumo_batched name kind)
  set_property(TARGET ${name} PROPERTY LUMO_PCH_KIND ${kind})
  if(NOT LUMO_UNITY)
    return()
  endif()
  target_precompile_headers(${name} REUSE_FROM lumo_pch_${kind})
  set_target_properties(${name} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${LUMO_UNITY_BATCH})
  get_target_property(sources ${name} SOURCES)
  foreach(source ${sources})
    get_filename_component(path ${source} ABSOLUTE)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
    if(relative IN_LIST LUMO_UNITY_ALONE)
      set_source_files_properties(${source} TARGET_DIRECTORY ${name} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

# One library per subsystem folder: every .cpp in the folder and its subfolders, public headers beside them. Only
# the libraries named as DEPS are seen, so a library cannot include one beside or above it.
function(lumo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  add_library(${name} STATIC ${sources})
  set(folders ${CMAKE_CURRENT_SOURCE_DIR})
  foreach(source ${sources})
    get_filename_component(folder ${source} DIRECTORY)
    list(APPEND folders ${folder})
  endforeach()
  list(REMOVE_DUPLICATES folders)
  target_include_directories(${name} PUBLIC ${folders})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  lumo_pch_kind(kind ${ARG_DEPS})
  lumo_batched(${name} ${kind})
endfunction()

# One test executable per tests/ folder, or per the FOLDERS named, with SOURCES from elsewhere. Tests labelled gl need
# a real X server (xvfb-run); SERIAL ones run alone.
function(lumo_tests name)
  cmake_parse_arguments(ARG "GL;SERIAL" "" "DEPS;FOLDERS;SOURCES" ${ARGN})
  if(NOT ARG_FOLDERS)
    set(ARG_FOLDERS .)
  endif()
  set(sources)
  foreach(folder ${ARG_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
    list(APPEND sources ${found})
  endforeach()
  add_executable(${name} ${sources} ${ARG_SOURCES})
  set_property(GLOBAL APPEND PROPERTY LUMO_TEST_PROGRAMS ${name})
  target_link_libraries(${name} PRIVATE lumo_testsupport ${ARG_DEPS})
  lumo_batched(${name} tests)
  # Tests that judge timing run alone: beside others, a machine's load is what they would measure.
  set(serial)
  if(ARG_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  if(ARG_GL)
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=xcb LABELS gl TIMEOUT 300 ${serial})
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 PROPERTIES LABELS unit TIMEOUT 300
                         ${serial})
  endif()
endfunction()
