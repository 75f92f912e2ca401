# Writes a C++ header that holds the script and the style sheet of a page as
# string constants, each with the SHA-256 digest (hexadecimal) of its exact
# text, so that the page's content security policy can allow that script and
# that style and nothing else. Run at build time whenever an input changes:
#   cmake -DOUTPUT=explore_assets.h "-DSCRIPTS=model.js;view.js" -DSTYLE=page.css
#         -DNAMESPACE=linesynth::tools::explore_assets -P EmbedPageAssets.cmake
# The scripts are joined in the order given, each ending in a line feed.
set(script "")
foreach(file IN LISTS SCRIPTS)
  file(READ "${file}" text)
  string(APPEND script "${text}")
endforeach()
file(READ "${STYLE}" style)

set(delimiter "page_asset")
foreach(name script style)
  # A raw string literal ends at )delimiter", and an inline script or style
  # ends at the first closing tag of its kind, whatever the quotes around it.
  string(FIND "${${name}}" ")${delimiter}\"" at)
  string(TOLOWER "${${name}}" lower)
  string(FIND "${lower}" "</${name}" tag)
  if(NOT at EQUAL -1 OR NOT tag EQUAL -1)
    message(FATAL_ERROR "the ${name} of ${OUTPUT} holds text that would end it early")
  endif()
  string(SHA256 ${name}_digest "${${name}}")
endforeach()

file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${SCRIPTS} and ${STYLE} by EmbedPageAssets.cmake; do not edit.\n"
  "#pragma once\n\n#include <string_view>\n\nnamespace ${NAMESPACE} {\n\n"
  "inline constexpr std::string_view script = R\"${delimiter}(${script})${delimiter}\";\n"
  "inline constexpr std::string_view script_sha256 = \"${script_digest}\";\n"
  "inline constexpr std::string_view style = R\"${delimiter}(${style})${delimiter}\";\n"
  "inline constexpr std::string_view style_sha256 = \"${style_digest}\";\n\n"
  "}  // namespace ${NAMESPACE}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
