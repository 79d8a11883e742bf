// Runs a libFuzzer entry without libFuzzer: every file named on the command line (folders are
// walked) goes through LLVMFuzzerTestOneInput once. With --variants each file also goes through
// damaged copies of itself: truncated at several lengths and with bytes overwritten at fixed
// pseudo-random places. Built into a CTest test, so the normal and sanitizer builds replay the
// seed corpus on every run.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::size_t g_runs = 0;

void run(const std::vector<std::uint8_t> &bytes)
{
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++g_runs;
}

void runVariants(const std::vector<std::uint8_t> &bytes)
{
    const std::size_t n = bytes.size();
    for (const std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{22}, n / 3, n / 2,
                                  n > 4096 ? n - 4096 : 0, n > 0 ? n - 1 : 0}) {
        if (cut < n) {
            run(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut));
        }
    }
    if (n == 0) {
        return;
    }
    // Overwrite a few bytes: page numbers, counts and offsets all live in such small fields.
    std::mt19937 rng(static_cast<unsigned>(n));
    const std::uint8_t patterns[][4] = {{0xFF, 0xFF, 0xFF, 0xFF},
                                        {0x00, 0x00, 0x00, 0x00},
                                        {0x02, 0x00, 0x00, 0x00},
                                        {0xFF, 0x7F, 0x00, 0x00}};
    for (int i = 0; i < 24; ++i) {
        std::vector<std::uint8_t> copy = bytes;
        // Half the hits in the first pages, where the catalogue and table definitions are.
        const std::size_t range = (i % 2 == 0) ? std::min<std::size_t>(n, 6 * 4096) : n;
        const std::size_t at = rng() % range;
        const auto &p = patterns[i % 4];
        for (std::size_t k = 0; k < 4 && at + k < n; ++k) {
            copy[at + k] = p[k];
        }
        run(copy);
    }
}

std::vector<std::uint8_t> readFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char **argv)
{
    bool variants = false;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--variants") {
            variants = true;
            continue;
        }
        const fs::path path(arg);
        if (fs::is_directory(path)) {
            for (const auto &e : fs::recursive_directory_iterator(path)) {
                if (e.is_regular_file()) {
                    files.push_back(e.path());
                }
            }
        } else if (fs::is_regular_file(path)) {
            files.push_back(path);
        } else {
            std::fprintf(stderr, "%s: no such file or folder\n", arg.c_str());
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto &file : files) {
        const auto bytes = readFile(file);
        run(bytes);
        if (variants) {
            runVariants(bytes);
        }
    }
    std::printf("%zu inputs from %zu files\n", g_runs, files.size());
    return 0;
}
