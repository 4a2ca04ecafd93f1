# Builds the service's page into the program as OUTPUT (a .cpp defining
# kWebPage), so that no request reads a file. For the program and the
# HTTP fuzz target alike.
function(jasokit_embed_page output)
  set(page "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../service/index.html")
  set(embed "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/EmbedFile.cmake")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" -DINPUT=${page} -DOUTPUT=${output} -DNAME=kWebPage -P "${embed}"
    DEPENDS "${page}" "${embed}"
    VERBATIM)
endfunction()
