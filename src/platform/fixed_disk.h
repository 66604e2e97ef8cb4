// Stands in for the system's drive-type question: is a folder on a fixed (hard) disk? A folder
// is not when the file system it lies on is a network one (NFS, SMB, sshfs, …), an optical one
// (ISO 9660, UDF), one of the kernel's own views (proc, sysfs, …) or lives on a device the
// kernel marks removable. A RAM folder (tmpfs) counts as fixed. The mount is found in
// /proc/self/mountinfo (the longest mount point that holds the folder); the pure parts take the
// table's text and a removable-device test so a test can give its own.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

enum class DiskKind { Fixed, Network, Optical, Removable, Unknown };

struct MountInfo {
  std::string mount_point;
  std::string fs_type;
  std::string source;
};

// The mount that holds host_path in a mountinfo table; an empty mount point when none does.
MountInfo FindMount(std::string_view mountinfo, const std::string& host_path);

// removable(source) says whether the device behind a source such as /dev/sdb1 is removable.
DiskKind ClassifyMount(const MountInfo& mount,
                       const std::function<bool(const std::string&)>& removable);

// The kind of the disk that holds an existing host folder, from this machine's tables.
DiskKind DiskKindOf(const std::string& host_path);

}  // namespace platform
