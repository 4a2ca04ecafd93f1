# Installation and the Debian package. Every program looks for its data
# beside its own executable, so they are installed together in one folder and
# linked from bin/.
set(JASOKIT_INSTALL_DIR "lib/jasokit")

install(TARGETS jasokit RUNTIME DESTINATION "${JASOKIT_INSTALL_DIR}")
install(FILES "${PROJECT_BINARY_DIR}/cli/zipcode030101t6.dbf" DESTINATION "${JASOKIT_INSTALL_DIR}")

set(links_dir "${PROJECT_BINARY_DIR}/install-links")
file(MAKE_DIRECTORY "${links_dir}")
set(linked_programs jasokit)
if(TARGET Jaso_Kit)
  install(TARGETS Jaso_Kit RUNTIME DESTINATION "${JASOKIT_INSTALL_DIR}")
  install(FILES "${PROJECT_SOURCE_DIR}/res/jasokit_view_off.html" DESTINATION "${JASOKIT_INSTALL_DIR}")
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/jasokit.desktop" DESTINATION share/applications)
  install(FILES "${PROJECT_SOURCE_DIR}/res/images/icon_256.png"
          DESTINATION share/icons/hicolor/256x256/apps RENAME jasokit.png)
  list(APPEND linked_programs Jaso_Kit)
endif()
foreach(program IN LISTS linked_programs)
  file(CREATE_LINK "../${JASOKIT_INSTALL_DIR}/${program}" "${links_dir}/${program}" SYMBOLIC)
  install(FILES "${links_dir}/${program}" DESTINATION bin)
endforeach()

set(CPACK_PACKAGE_NAME jasokit)
set(CPACK_PACKAGE_VENDOR "Jaso_Kit developers")
set(CPACK_PACKAGE_CONTACT "Jaso_Kit developers <jasokit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korean address romanizer and zip code finder")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
