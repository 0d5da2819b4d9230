// copy_floor: the least a filter that writes what it reads can cost. Reads FILE in
// 256 KiB blocks into one buffer and write()s each block whole to standard output,
// on one thread, as a search that selects every line must at least. Exits 0, or 2
// when FILE cannot be read or the output cannot be written. bench/run.sh times it
// as the copy floor; `cat` is no such floor, since it copies with
// copy_file_range, in the kernel, where no filter's data ever passes.
//
//   copy_floor FILE > OUT

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// Page-aligned: on the AMD EPYC (Zen 3) development machine, the kernel's copy of the file's
// pages runs about five times slower into a buffer that starts 1 to 31 bytes past the page's
// own offset (488 MB read into a 256 KiB std::vector, 16 bytes past a page: 220 against 45 ms).
alignas(4096) char block[256 * 1024];

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: copy_floor FILE\n");
    return 2;
  }
  const int fd = open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 2;
  }
  for (;;) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0) {
      std::perror(argv[1]);
      return 2;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(STDOUT_FILENO, block + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        std::perror("copy_floor: write");
        return 2;
      }
      done += w;
    }
  }
  close(fd);
  return 0;
}
