// Replays a fuzz target's corpus as a plain test: every file of the folder given on the command
// line goes once through LLVMFuzzerTestOneInput. An input that crashes ends the process; one
// that throws out of the target, and a missing or empty folder, fail the test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> corpusFiles(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file())
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::uint8_t> contentsOf(const fs::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

bool replay(const fs::path& file)
{
    const std::vector<std::uint8_t> bytes = contentsOf(file);
    std::printf("%s (%zu bytes)\n", file.filename().c_str(), bytes.size());
    std::fflush(stdout);
    try {
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: the target let an exception through: %s\n", file.c_str(), error.what());
    } catch (...) {
        std::fprintf(stderr, "%s: the target let an exception of unknown type through\n", file.c_str());
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER\n", argv[0]);
        return 2;
    }
    const std::vector<fs::path> files = corpusFiles(argv[1]);
    if (files.empty()) {
        std::fprintf(stderr, "%s holds no inputs (or does not exist): nothing would be replayed\n", argv[1]);
        return 1;
    }
    int failed = 0;
    for (const fs::path& file : files)
        failed += replay(file) ? 0 : 1;
    std::printf("%zu inputs replayed, %d failed\n", files.size(), failed);
    return failed == 0 ? 0 : 1;
}
