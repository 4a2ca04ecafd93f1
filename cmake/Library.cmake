# The text library: compiled once, then packed as libjasokit.a (which the
# programs, tests and the Python module link) and libjasokit.so (which only
# exports the public API of include/jasokit).
# The ABI's own number, the shared library's SONAME (libjasokit.so.3): it
# changes when a program built against the library would break, whatever the
# product's version. 3: Result, AddressFields and AddressMatch grew (warnings,
# suggestions, the old postcode, the search's score).
set(JASOKIT_SOVERSION 3)

configure_file("${PROJECT_SOURCE_DIR}/include/jasokit/version.h.in"
               "${PROJECT_BINARY_DIR}/include/jasokit/version.h" @ONLY)

# The eight-byte scanning helpers, header-only: one of the two internal pieces
# the programs share with the library (their codec and JSON writer scan the same way).
add_library(jasokit_bytes8 INTERFACE)
target_include_directories(jasokit_bytes8 INTERFACE "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/lib/bytes8>")
# UTF-8 to and from the UTF-16 of the Windows wide calls, header-only, which
# the library's few system calls and the programs' both make.
add_library(jasokit_utf16 INTERFACE)
target_include_directories(jasokit_utf16 INTERFACE "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/lib/utf16>")

add_library(jasokit_objects OBJECT)
target_include_directories(jasokit_objects PUBLIC
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>")
# The library's own headers are found from lib/ by the library alone (and by
# its unit tests, through jasokit_internal below).
target_include_directories(jasokit_objects PRIVATE "${PROJECT_SOURCE_DIR}/lib")
target_link_libraries(jasokit_objects PRIVATE jasokit_bytes8 jasokit_utf16)
target_compile_features(jasokit_objects PUBLIC cxx_std_17)
target_compile_definitions(jasokit_objects PRIVATE JASOKIT_BUILDING_LIBRARY)
set_target_properties(jasokit_objects PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
foreach(part IN ITEMS romanize address zipcode addrdb tables sys)
  add_subdirectory("${PROJECT_SOURCE_DIR}/lib/${part}" "${PROJECT_BINARY_DIR}/lib/${part}")
endforeach()

# Programs see include/ alone, in the build tree as when installed.
set(jasokit_include_dirs
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>"
  "$<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>"
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
    VERSION "${JASOKIT_SOVERSION}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}"
    SOVERSION "${JASOKIT_SOVERSION}")
  # Only the library's own names: the standard library's template code that
  # it instantiates stays inside. cmake/jasokit.symbols lists what is left.
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT APPLE AND NOT WIN32)
    set(jasokit_version_script "${PROJECT_SOURCE_DIR}/cmake/jasokit.map")
    target_link_options(jasokit_shared PRIVATE "LINKER:--version-script=${jasokit_version_script}")
    set_property(TARGET jasokit_shared APPEND PROPERTY LINK_DEPENDS "${jasokit_version_script}")
  endif()
  add_library(jasokit::jasokit ALIAS jasokit_shared)
else()
  add_library(jasokit::jasokit ALIAS jasokit_static)
endif()

# The library's internals, for its own unit tests, benchmarks and fuzz targets
# only: no program links this.
add_library(jasokit_internal INTERFACE)
target_include_directories(jasokit_internal INTERFACE "${PROJECT_SOURCE_DIR}/lib")
target_link_libraries(jasokit_internal INTERFACE jasokit_static jasokit_bytes8)
