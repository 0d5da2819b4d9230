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
#include <vector>

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
  std::vector<char> block(256 * 1024);
  long found = 0;
  for (;;) {
    const ssize_t n = read(fd, block.data(), block.size());
    if (n < 0) {
      std::perror(argv[1]);
      return 2;
    }
    if (n == 0) break;
    found += std::memchr(block.data(), 0x01, static_cast<size_t>(n)) != nullptr;
  }
  close(fd);
  // The count is used, so that the search cannot be left out.
  return found > 0 ? 1 : 0;
}
