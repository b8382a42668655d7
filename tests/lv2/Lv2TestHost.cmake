# The lilv host of the LV2 edition's tests (tests/lv2/Lv2TestHost.*), shared
# by the test programs, the fuzz targets and the thread stress. Included
# from tests/ and tests/fuzz/ (the fuzz preset builds the latter alone).
if(TARGET quillet_lv2_testhost)
  return()
endif()
find_path(QUILLET_LILV_INCLUDE_DIR lilv/lilv.h PATH_SUFFIXES lilv-0)
find_library(QUILLET_LILV_LIBRARY lilv-0)
if(NOT QUILLET_LILV_INCLUDE_DIR OR NOT QUILLET_LILV_LIBRARY)
  message(FATAL_ERROR "lilv was not found for this architecture (Debian: liblilv-dev)")
endif()
add_library(quillet_lv2_testhost STATIC ${PROJECT_SOURCE_DIR}/tests/lv2/Lv2TestHost.cpp)
target_include_directories(quillet_lv2_testhost PUBLIC ${PROJECT_SOURCE_DIR}
  ${QUILLET_LILV_INCLUDE_DIR} ${QUILLET_LV2_INCLUDE_DIR})
target_compile_definitions(quillet_lv2_testhost PUBLIC
  QUILLET_LV2_BUNDLE="${QUILLET_LV2_BUNDLE}"
  QUILLET_LV2_URI="urn:quillet:quillet")
target_link_libraries(quillet_lv2_testhost PUBLIC ${QUILLET_LILV_LIBRARY} ${CMAKE_DL_LIBS})
add_dependencies(quillet_lv2_testhost quillet_lv2)
