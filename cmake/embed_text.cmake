# keltos_embed_text(TARGET FILE SYMBOL): compiles the text of FILE (relative to the source tree)
# into TARGET as `extern const char SYMBOL[]`. Editing FILE configures the build again.
function(keltos_embed_text target file symbol)
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(FIND "${text}" ")embedded\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} contains the end marker of a raw string")
  endif()
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp)
  file(CONFIGURE OUTPUT ${generated}
    CONTENT "// Generated from ${file}.\nextern const char ${symbol}[];\nconst char ${symbol}[] = R\"embedded(@text@)embedded\";\n"
    @ONLY)
  target_sources(${target} PRIVATE ${generated})
endfunction()
