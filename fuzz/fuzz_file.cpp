#include "fuzz/fuzz_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace quill::fuzz {

std::filesystem::path inputFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("quill-fuzz-input", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    if (::ftruncate(fd, 0) != 0) std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0) std::abort();
        done += std::size_t(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

const std::filesystem::path& scratchDirectory() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quill-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        return std::filesystem::path(pattern);
    }();
    return dir;
}

}  // namespace quill::fuzz
