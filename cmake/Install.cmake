# Installation and the Debian packages:
#   jasokit      the programs, the zip code table, the offline banner page and
#                the shared library libjasokit.so.3;
#   jasokit-dev  headers, libjasokit.a, the libjasokit.so link, and the files
#                for find_package(jasokit) and pkg-config;
#   python3-jasokit  the Python module, which reads the table of jasokit.
# Every program looks for its data beside its own executable, so they are
# installed together in one folder and linked from bin/. On Windows that
# folder is the installation itself, with the DLL beside the programs, as the
# installer and the portable zip have it (packaging/windows/).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
if(WIN32)
  set(JASOKIT_INSTALL_DIR ".")
else()
  set(JASOKIT_INSTALL_DIR "lib/jasokit")
endif()
set(JASOKIT_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/jasokit")

# The library.
set(library_targets jasokit_static)
if(TARGET jasokit_shared)
  list(APPEND library_targets jasokit_shared)
endif()
install(TARGETS ${library_targets} EXPORT jasokitTargets
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION "${JASOKIT_INSTALL_DIR}" COMPONENT runtime
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/jasokit" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  COMPONENT development FILES_MATCHING PATTERN "*.h")
install(FILES "${PROJECT_BINARY_DIR}/include/jasokit/version.h"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/jasokit" COMPONENT development)
install(EXPORT jasokitTargets NAMESPACE jasokit:: DESTINATION "${JASOKIT_CMAKE_DIR}" COMPONENT development)
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/jasokitConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/jasokitConfig.cmake" INSTALL_DESTINATION "${JASOKIT_CMAKE_DIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/jasokitConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/jasokitConfig.cmake" "${PROJECT_BINARY_DIR}/jasokitConfigVersion.cmake"
  DESTINATION "${JASOKIT_CMAKE_DIR}" COMPONENT development)
# Relative to the file itself, so that the package's /usr prefix holds.
file(RELATIVE_PATH JASOKIT_PC_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file("${PROJECT_SOURCE_DIR}/cmake/jasokit.pc.in" "${PROJECT_BINARY_DIR}/jasokit.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/jasokit.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
  COMPONENT development)

# The programs and their data.
set(links_dir "${PROJECT_BINARY_DIR}/install-links")
file(MAKE_DIRECTORY "${links_dir}")
set(linked_programs "")
if(TARGET jasokit_cli)
  install(TARGETS jasokit_cli RUNTIME DESTINATION "${JASOKIT_INSTALL_DIR}" COMPONENT runtime)
  install(FILES "${PROJECT_BINARY_DIR}/cli/zipcode030101t6.dbf" DESTINATION "${JASOKIT_INSTALL_DIR}"
    COMPONENT runtime)
  if(WIN32)
    # For --addrdb: no program looks for it by itself.
    install(FILES "${PROJECT_BINARY_DIR}/cli/address-sample.db" DESTINATION "${JASOKIT_INSTALL_DIR}"
      COMPONENT runtime)
  else()
    # jasokit serve as a service, installed but not enabled; jasokit@PORT for
    # several instances.
    install(FILES "${PROJECT_SOURCE_DIR}/packaging/jasokit.service" "${PROJECT_SOURCE_DIR}/packaging/jasokit@.service"
      DESTINATION lib/systemd/system COMPONENT runtime)
    list(APPEND linked_programs jasokit)
  endif()
endif()
# The window: Qt's, or on Windows the native one.
set(window_installed OFF)
foreach(window IN ITEMS Jaso_Kit jasokit_win32_window)
  if(TARGET ${window})
    install(TARGETS ${window} RUNTIME DESTINATION "${JASOKIT_INSTALL_DIR}" COMPONENT runtime)
    set(window_installed ON)
  endif()
endforeach()
if(window_installed)
  install(FILES "${PROJECT_SOURCE_DIR}/res/jasokit_view_off.html" DESTINATION "${JASOKIT_INSTALL_DIR}"
    COMPONENT runtime)
endif()
if(TARGET Jaso_Kit AND NOT WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/jasokit.desktop" DESTINATION share/applications
    COMPONENT runtime)
  install(FILES "${PROJECT_SOURCE_DIR}/res/images/icon_256.png"
          DESTINATION share/icons/hicolor/256x256/apps RENAME jasokit.png COMPONENT runtime)
  list(APPEND linked_programs Jaso_Kit)
endif()
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION "${JASOKIT_INSTALL_DIR}" COMPONENT runtime)
endif()
foreach(program IN LISTS linked_programs)
  file(CREATE_LINK "../${JASOKIT_INSTALL_DIR}/${program}" "${links_dir}/${program}" SYMBOLIC)
  install(FILES "${links_dir}/${program}" DESTINATION bin COMPONENT runtime)
endforeach()

# The Python package. Its __init__.py finds the table relative to itself, so
# the installed copy is written with the installed layout.
set(JASOKIT_PYTHON_INSTALL_DIR "lib/python3/dist-packages" CACHE STRING
    "Folder below the prefix that the Python package jasokit is installed into")
if(TARGET jasokit_python)
  set(python_package_dir "${JASOKIT_PYTHON_INSTALL_DIR}/jasokit")
  file(RELATIVE_PATH JASOKIT_PYTHON_TABLE "/prefix/${python_package_dir}"
       "/prefix/${JASOKIT_INSTALL_DIR}/zipcode030101t6.dbf")
  configure_file("${PROJECT_SOURCE_DIR}/python/jasokit/__init__.py.in"
                 "${PROJECT_BINARY_DIR}/python-install/jasokit/__init__.py" @ONLY)
  install(TARGETS jasokit_python LIBRARY DESTINATION "${python_package_dir}" COMPONENT python)
  install(FILES "${PROJECT_BINARY_DIR}/python-install/jasokit/__init__.py"
                "${PROJECT_SOURCE_DIR}/python/jasokit/__init__.pyi"
                "${PROJECT_SOURCE_DIR}/python/jasokit/py.typed"
          DESTINATION "${python_package_dir}" COMPONENT python)
endif()

# The Windows installer and portable zip: cmake --build BUILD --target windows-packages
if(WIN32)
  find_program(JASOKIT_MAKENSIS makensis)
  add_custom_target(windows-packages
    COMMAND "${CMAKE_COMMAND}" -DBUILD_DIR=${PROJECT_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
            -DVERSION=${PROJECT_VERSION} -DMAKENSIS=${JASOKIT_MAKENSIS} -DOBJDUMP=${CMAKE_OBJDUMP}
            -P "${PROJECT_SOURCE_DIR}/packaging/windows/package.cmake"
    COMMENT "Building the Windows installer and portable zip"
    VERBATIM)
  foreach(shipped IN ITEMS jasokit_cli jasokit_shared jasokit_zip_table jasokit_address_db jasokit_win32_window)
    if(TARGET ${shipped})
      add_dependencies(windows-packages ${shipped})
    endif()
  endforeach()
  # The packages installed, run and removed under wine, beside the other tests
  # of the Windows build (tools/build-windows.sh makes them first).
  if(JASOKIT_BUILD_TESTS AND JASOKIT_HOST_TOOL)
    add_test(NAME windows-package-test COMMAND bash "${PROJECT_SOURCE_DIR}/tools/windows-package-test.sh")
    set_tests_properties(windows-package-test PROPERTIES TIMEOUT 300
      ENVIRONMENT "WINDOWS_BUILD_DIR=${PROJECT_BINARY_DIR};LINUX_JASOKIT=${JASOKIT_HOST_TOOL}")
  endif()
endif()

set(CPACK_PACKAGE_NAME jasokit)
set(CPACK_PACKAGE_VENDOR "Jaso_Kit developers")
set(CPACK_PACKAGE_CONTACT "Jaso_Kit developers <jasokit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korean address romanizer and zip code finder")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TARGET jasokit_python)
  list(APPEND CPACK_COMPONENTS_ALL python)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME jasokit)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "fonts-nanum")
# A shlibs file and the ldconfig trigger for libjasokit.so.3.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME jasokit-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "jasokit (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Jaso_Kit library: headers, static library, CMake and pkg-config files")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-jasokit)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# The extension works with the interpreter version it was built for, and
# ZipTable() opens the table that jasokit installs.
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${JASOKIT_PYTHON_VERSION}), python3 (<< ${JASOKIT_PYTHON_NEXT_VERSION}), jasokit (= ${PROJECT_VERSION})")
# convert_series takes a pandas Series; Dask spreads it over a cluster.
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-pandas, python3-dask, python3-distributed")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "Jaso_Kit for Python: the module jasokit (convert, convert_many, convert_series, romanize, romanize_many, ZipTable)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
