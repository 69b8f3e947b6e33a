#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "rav.h"

void rav_standard_streams() {
  // A descriptor 0, 1 or 2 that was closed when the process started would be the next one a
  // file gets: the volume would then receive the console's lines. /dev/null takes its place.
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != descriptor) {
      ::dup2(opened, descriptor);
      ::close(opened);
    }
  }
  // Whole lines at once, also into a file or a pipe: a log keeps every line printed before a
  // run was stopped.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
}
