// hw/cirrus.inc names what hw/cirrus.h names, with the same values: a driver in nasm and the
// card model cannot drift apart. Both files are read as text: cirrus::gc::BLT_MODE in the
// header is CIRRUS_GC_BLT_MODE in the include.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::string source(const std::string& path)
{
    std::ifstream file(std::string(PALISADE_SOURCE_DIR) + "/" + path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A constant's value as both files write it: a number (hex or decimal, C++ suffix u allowed),
// or a number shifted left by another.
uint64_t evaluate(const std::string& expression)
{
    static const std::regex shifted(R"(\s*(\w+?)u?\s*<<\s*(\w+?)u?\s*)");
    std::smatch parts;
    if (std::regex_match(expression, parts, shifted))
        return std::stoull(parts[1], nullptr, 0) << std::stoull(parts[2], nullptr, 0);
    std::string number = expression;
    while (!number.empty() && (std::isspace(static_cast<unsigned char>(number.back())) || number.back() == 'u'))
        number.pop_back();
    return std::stoull(number, nullptr, 0);
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The header's constants under the include's names.
std::map<std::string, uint64_t> headerConstants(const std::string& text)
{
    static const std::regex block(R"(^namespace (\w+) \{)");
    static const std::regex constant(R"(^constexpr \w+ ([^;]+);)");
    std::map<std::string, uint64_t> constants;
    std::string prefix;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch parts;
        if (std::regex_search(line, parts, block) && parts[1] != "cirrus") {
            prefix = "CIRRUS_" + upper(parts[1]) + "_";
        } else if (std::regex_search(line, parts, constant)) {
            std::istringstream declarations(parts[1].str());
            for (std::string declaration; std::getline(declarations, declaration, ',');) {
                const size_t equals = declaration.find('=');
                std::istringstream name(declaration.substr(0, equals));
                std::string word;
                name >> word;
                constants[prefix + word] = evaluate(declaration.substr(equals + 1));
            }
        }
    }
    return constants;
}

std::map<std::string, uint64_t> includeConstants(const std::string& text)
{
    static const std::regex constant(R"(^(CIRRUS_\w+)\s+equ\s+([^;]+))");
    std::map<std::string, uint64_t> constants;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch parts;
        if (std::regex_search(line, parts, constant))
            constants[parts[1]] = evaluate(parts[2]);
    }
    return constants;
}

TEST(CirrusInclude, NamesEveryConstantOfTheHeaderWithItsValue)
{
    const auto header = headerConstants(source("hw/cirrus.h"));
    const auto include = includeConstants(source("hw/cirrus.inc"));
    ASSERT_GT(header.size(), 100u) << "the header was not read";
    for (const auto& [name, value] : header) {
        const auto found = include.find(name);
        if (found == include.end())
            ADD_FAILURE() << name << " is missing from hw/cirrus.inc";
        else
            EXPECT_EQ(found->second, value) << name;
    }
    for (const auto& [name, value] : include)
        EXPECT_TRUE(header.count(name)) << name << " = " << value << " is not in hw/cirrus.h";
}

}  // namespace
