# A subsystem is every .cpp directly in src/<name>/ built as one static library ruko_<name>.
# Folders without sources yet become interface libraries so dependants still link.
#
# The layering is enforced, not just documented: a subsystem's include path holds only a link
# <name> -> src/<name> and, through DEPS, the links of the subsystems below it, so including the
# header of a subsystem that is not below fails to compile. Outside libraries (LIBS) are private:
# what SDL or libpng a subsystem uses stays out of the include path of the ones above it.
function(ruko_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPS;LIBS" ${ARGN})
  set(include_root ${PROJECT_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${include_root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${name} ${include_root}/${name} SYMBOLIC)
  set(deps)
  foreach(dep IN LISTS ARG_DEPS)
    list(APPEND deps ruko_${dep})
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp")
  if(sources)
    add_library(ruko_${name} STATIC ${sources})
    target_include_directories(ruko_${name} PUBLIC ${include_root})
    target_link_libraries(ruko_${name} PUBLIC ${deps} PRIVATE ${ARG_LIBS})
  else()
    add_library(ruko_${name} INTERFACE)
    target_include_directories(ruko_${name} INTERFACE ${include_root})
    target_link_libraries(ruko_${name} INTERFACE ${deps} ${ARG_LIBS})
  endif()
endfunction()

# One test executable per folder under tests/, linked with the libraries it names.
function(ruko_test_folder folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(test_${folder} ${sources})
  target_link_libraries(test_${folder} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${folder} PRIVATE
    RUKO_SOURCE_DIR="${PROJECT_SOURCE_DIR}" RUKO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(test_${folder} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "RUKO_SOURCE_DIR=${PROJECT_SOURCE_DIR};RUKO_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
