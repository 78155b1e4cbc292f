// SPDX-License-Identifier: MIT
// Runs a fuzz target over every file of its seed corpus, without libFuzzer. Each input is handed
// over in a heap allocation of exactly its size, so that a sanitizer catches a one-byte over-read.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1], error))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    if (error || files.empty()) {
        std::fprintf(stderr, "%s: no corpus files in %s\n", argv[0], argv[1]);
        return 2;
    }
    for (const auto& path : files) {
        std::ifstream in(path, std::ios::binary);
        const std::vector<char> content((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        const std::unique_ptr<uint8_t[]> input(new uint8_t[content.size()]);
        std::copy(content.begin(), content.end(), input.get());
        LLVMFuzzerTestOneInput(input.get(), content.size());
    }
    std::printf("%zu corpus inputs replayed\n", files.size());
    return 0;
}
