// Runs the fuzz target over every file of the given folders: the seed corpus and any crash
// the fuzzer once found stay checked in the ordinary build.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    size_t inputs = 0;
    for (int i = 1; i < argc; ++i)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i])) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++inputs;
        }
    if (inputs == 0) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    return 0;
}
