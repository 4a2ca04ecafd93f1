# The text library: compiled once, then packed as libjasokit.a (which the
# programs, tests and the Python module link) and libjasokit.so (which only
# exports the public API of include/jasokit).
configure_file("${PROJECT_SOURCE_DIR}/include/jasokit/version.h.in"
               "${PROJECT_BINARY_DIR}/include/jasokit/version.h" @ONLY)

add_library(jasokit_objects OBJECT)
target_include_directories(jasokit_objects PUBLIC
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>")
target_compile_features(jasokit_objects PUBLIC cxx_std_17)
target_compile_definitions(jasokit_objects PRIVATE JASOKIT_BUILDING_LIBRARY)
set_target_properties(jasokit_objects PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
add_subdirectory(romanize)
add_subdirectory(address)
add_subdirectory(zipcode)
add_subdirectory(addrdb)

# In the build tree the private headers (romanize/..., address/...) are
# visible too, for the programs and tests; installed, only include/.
set(jasokit_include_dirs
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>"
  "$<INSTALL_INTERFACE:include>")

add_library(jasokit_static STATIC $<TARGET_OBJECTS:jasokit_objects>)
target_include_directories(jasokit_static INTERFACE ${jasokit_include_dirs})
target_compile_features(jasokit_static INTERFACE cxx_std_17)
target_compile_definitions(jasokit_static INTERFACE JASOKIT_STATIC)
set_target_properties(jasokit_static PROPERTIES OUTPUT_NAME jasokit EXPORT_NAME jasokit_static)
add_library(jasokit::jasokit_static ALIAS jasokit_static)
# The name the project's own programs and tests use.
add_library(jasokit::text ALIAS jasokit_static)

if(JASOKIT_BUILD_SHARED)
  add_library(jasokit_shared SHARED $<TARGET_OBJECTS:jasokit_objects>)
  target_include_directories(jasokit_shared INTERFACE ${jasokit_include_dirs})
  target_compile_features(jasokit_shared INTERFACE cxx_std_17)
  set_target_properties(jasokit_shared PROPERTIES
    OUTPUT_NAME jasokit EXPORT_NAME jasokit
    VERSION "${PROJECT_VERSION}" SOVERSION "${PROJECT_VERSION_MAJOR}")
  add_library(jasokit::jasokit ALIAS jasokit_shared)
else()
  add_library(jasokit::jasokit ALIAS jasokit_static)
endif()
