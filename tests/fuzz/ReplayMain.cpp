// Runs a fuzz target over its kept inputs without libFuzzer: the test run's
// replay of the corpora, built with the ordinary compiler under the sanitizers.
//   native_fuzz_<name> tests/fuzz/corpus/<name>.seeds [tests/fuzz/corpus/<name>] [FILE...]
// A .seeds file holds many inputs (scripts/fuzz-seeds.py); a folder holds one
// input per file (the reproducers of faults found, named for what they show);
// a folder that does not exist holds none.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of exactly the input's size, so that a read past its end is seen.
void Run(const uint8_t* data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
}

// "VFZ1", then per input a 4-byte little-endian length and the bytes. -1 when damaged.
int RunSeeds(const std::filesystem::path& path) {
    const std::vector<uint8_t> all = ReadAll(path);
    if (all.size() < 4 || std::memcmp(all.data(), "VFZ1", 4) != 0) return -1;
    int runs = 0;
    for (size_t at = 4; at < all.size(); ++runs) {
        if (all.size() - at < 4) return -1;
        const uint32_t size = all[at] | all[at + 1] << 8 | all[at + 2] << 16 | uint32_t(all[at + 3]) << 24;
        at += 4;
        if (all.size() - at < size) return -1;
        Run(all.data() + at, size);
        at += size;
    }
    return runs;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        if (arg.extension() == ".seeds") {
            const int n = RunSeeds(arg);
            if (n < 0) {
                std::fprintf(stderr, "replay: %s is missing or damaged\n", argv[i]);
                return 2;
            }
            runs += n;
        } else if (std::filesystem::is_directory(arg)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg))
                if (entry.is_regular_file()) files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& f : files) {
                const std::vector<uint8_t> data = ReadAll(f);
                Run(data.data(), data.size());
                ++runs;
            }
        } else if (std::filesystem::is_regular_file(arg)) {
            const std::vector<uint8_t> data = ReadAll(arg);
            Run(data.data(), data.size());
            ++runs;
        }
    }
    std::printf("replayed %d inputs\n", runs);
    // An empty corpus would make the replay pass without testing anything.
    return runs > 0 ? 0 : 1;
}
