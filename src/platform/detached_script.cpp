#include "platform/detached_script.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

bool StartDetachedScript(const std::string& folder_host, const std::string& script_name) {
  if (folder_host.empty() || script_name.empty() || ::access(folder_host.c_str(), X_OK) != 0)
    return false;
  // Fork twice so the script is nobody's child here and outlives the program without a zombie.
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    if (::chdir(folder_host.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    ::execl("/bin/sh", "sh", script_name.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
