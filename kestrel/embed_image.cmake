# Turns an assembled driver image into a C++ byte array returned by FUNCTION:
# cmake -DINPUT=... -DOUTPUT=... -DFUNCTION=... [-DNAMESPACE=... -DSOURCE=...] -P
if(NOT NAMESPACE)
  set(NAMESPACE kestrel)
endif()
if(NOT SOURCE)
  set(SOURCE kestrel.asm)
endif()
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${SOURCE} by embed_image.cmake.\n"
"#include <cstdint>\n#include <span>\n\n"
"namespace ${NAMESPACE} {\n\n"
"namespace {\n"
"const uint8_t assembled[${size}] = {\n    ${bytes}\n};\n"
"}  // namespace\n\n"
"std::span<const uint8_t> ${FUNCTION}();\n\n"
"std::span<const uint8_t> ${FUNCTION}()\n{\n    return assembled;\n}\n\n"
"}  // namespace ${NAMESPACE}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
