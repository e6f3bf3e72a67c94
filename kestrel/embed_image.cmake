# Turns an assembled driver image into a C++ byte array returned by FUNCTION:
# cmake -DINPUT=... -DOUTPUT=... -DFUNCTION=... -P
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from kestrel.asm by embed_image.cmake.\n"
"#include <cstdint>\n#include <span>\n\n"
"namespace kestrel {\n\n"
"namespace {\n"
"const uint8_t assembled[${size}] = {\n    ${bytes}\n};\n"
"}  // namespace\n\n"
"std::span<const uint8_t> ${FUNCTION}();\n\n"
"std::span<const uint8_t> ${FUNCTION}()\n{\n    return assembled;\n}\n\n"
"}  // namespace kestrel\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
