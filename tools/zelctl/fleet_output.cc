#include "tools/zelctl/fleet_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace zelctl {

std::string write_file_atomically(const std::string& path, const std::string& text) {
  std::string temp = path + ".tmp.XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0)
    return "cannot create a temporary file beside '" + path + "': " + std::strerror(errno);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const int saved = errno;
  // Readers such as node_exporter run as other users: the file is readable.
  const bool ok = done == text.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
  close(fd);
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    const int why = ok ? errno : saved;
    unlink(temp.c_str());
    return "cannot write '" + path + "': " + std::strerror(why);
  }
  return "";
}

std::string utc_timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

}  // namespace zelctl
