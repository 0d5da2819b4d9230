// read_floor: the least a search of a file can cost. Reads FILE in 256 KiB blocks
// into one buffer and looks through each block with memchr for a byte the data
// does not hold (0x01), as a search for a rare keyword must at least. Writes
// nothing; exits 0, or 2 when FILE cannot be read. bench/run.sh builds it static,
// as narvo is, and times it as the read floor beside the copy floor
// (bench/copy_floor.cpp).
//
//   read_floor FILE

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// Page-aligned: on the AMD EPYC (Zen 3) development machine, the kernel's copy of the file's
// pages runs about five times slower into a buffer that starts 1 to 31 bytes past the page's
// own offset (488 MB read into a 256 KiB std::vector, 16 bytes past a page: 220 against 45 ms).
alignas(4096) char block[256 * 1024];

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: read_floor FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  long found = 0;
  for (;;) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0) {
      std::perror(argv[1]);
      return 2;
    }
    if (n == 0) break;
    found += std::memchr(block, 0x01, static_cast<size_t>(n)) != nullptr;
  }
  close(fd);
  // The count is used, so that the search cannot be left out.
  return found > 0 ? 1 : 0;
}
