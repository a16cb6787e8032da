# Turns a template file into a header holding it as one raw string literal,
# so the command carries its page and needs no file beside it at run time.
# cmake -DTEMPLATE=in.mustache -DHEADER=out.h -DNAME=kSomething -P embed_template.cmake
set(delimiter "pf_template")
file(READ "${TEMPLATE}" text)
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${TEMPLATE} holds )${delimiter}\", which would end the string literal early")
endif()
file(WRITE "${HEADER}"
  "// Made from ${TEMPLATE} by embed_template.cmake; edit the template, not this.\n"
  "#pragma once\n\n"
  "namespace podcastfeed {\n\n"
  "inline constexpr const char *${NAME} = R\"${delimiter}(${text})${delimiter}\";\n\n"
  "}  // namespace podcastfeed\n")
