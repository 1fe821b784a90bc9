include(GoogleTest)

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
