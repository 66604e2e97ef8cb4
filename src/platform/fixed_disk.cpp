#include "platform/fixed_disk.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

// mountinfo writes space, tab, newline and backslash in names as \ooo.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const std::string oct = s.substr(i + 1, 3);
      if (oct.size() == 3 && oct.find_first_not_of("01234567") == std::string::npos) {
        out += static_cast<char>(std::stoi(oct, nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

bool Holds(const std::string& mount_point, const std::string& path) {
  if (mount_point == "/") return !path.empty() && path[0] == '/';
  return path.rfind(mount_point, 0) == 0 &&
         (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

bool DeviceRemovable(const std::string& source) {
  if (source.rfind("/dev/", 0) != 0) return false;
  struct stat st;
  if (::stat(source.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  // The device's own entry, then the whole disk's (a partition's parent) "removable" flag.
  const std::string dev = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                          std::to_string(minor(st.st_rdev));
  for (const char* rel : {"/removable", "/../removable"}) {
    std::ifstream in(dev + rel);
    int flag = 0;
    if (in >> flag) return flag == 1;
  }
  return false;
}

}  // namespace

MountInfo FindMount(std::string_view mountinfo, const std::string& host_path) {
  MountInfo best;
  std::istringstream in{std::string(mountinfo)};
  std::string line;
  while (std::getline(in, line)) {
    // id parent major:minor root mount-point options [optional fields] - type source options
    std::istringstream fields(line);
    std::string id, parent, devno, root, mount_point, options;
    if (!(fields >> id >> parent >> devno >> root >> mount_point >> options)) continue;
    std::string field;
    while (fields >> field && field != "-") {
    }
    MountInfo m;
    if (field != "-" || !(fields >> m.fs_type)) continue;
    fields >> m.source;
    m.mount_point = Unescape(mount_point);
    m.source = Unescape(m.source);
    // Later lines stack over earlier ones at the same point, so the last longest one wins.
    if (Holds(m.mount_point, host_path) && m.mount_point.size() >= best.mount_point.size())
      best = m;
  }
  return best;
}

DiskKind ClassifyMount(const MountInfo& mount,
                       const std::function<bool(const std::string&)>& removable) {
  if (mount.mount_point.empty()) return DiskKind::Unknown;
  const std::string& t = mount.fs_type;
  static const char* const kNetwork[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs",
                                         "afs", "9p", "ceph", "glusterfs", "davfs", "fuse.sshfs",
                                         "fuse.rclone", "fuse.davfs2", "fuse.glusterfs"};
  for (const char* n : kNetwork)
    if (t == n) return DiskKind::Network;
  if (t == "iso9660" || t == "udf") return DiskKind::Optical;
  // The kernel's own views are no disk at all.
  static const char* const kPseudo[] = {"proc", "sysfs", "devtmpfs", "devpts", "cgroup",
                                        "cgroup2", "securityfs", "debugfs", "tracefs",
                                        "configfs", "pstore", "bpf", "mqueue", "autofs",
                                        "binfmt_misc", "fusectl", "hugetlbfs"};
  for (const char* n : kPseudo)
    if (t == n) return DiskKind::Unknown;
  if (removable && removable(mount.source)) return DiskKind::Removable;
  return DiskKind::Fixed;
}

DiskKind DiskKindOf(const std::string& host_path) {
  char resolved[PATH_MAX];
  if (!::realpath(host_path.c_str(), resolved)) return DiskKind::Unknown;
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  return ClassifyMount(FindMount(text.str(), resolved), DeviceRemovable);
}

}  // namespace platform
