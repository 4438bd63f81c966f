#include "device/linux/hidden_files.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "os/linux/termination.h"

namespace tolvane {

namespace {

const char HiddenMark[] = ".tolvane.";

// Never freed: a signal may come while the process exits.
std::vector<std::string>& HiddenNames() {
  static std::vector<std::string>* names = new std::vector<std::string>();
  return *names;
}

// The host's name up to its first dot: a name of a file may hold no more.
std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == 0) return "localhost";
  return std::string(name, strcspn(name, "./"));
}

void RemoveHiddenNamesAtExit() {
  for (const std::string& name : HiddenNames()) unlink(name.c_str());
  HiddenNames().clear();
}

// The list is changed only while the termination signals are held, so the
// handler finds it whole. unlink is safe in a handler.
void RemoveHiddenNamesOnSignal() {
  for (const std::string& name : HiddenNames()) unlink(name.c_str());
}

void PrepareCleanup() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  std::atexit(RemoveHiddenNamesAtExit);
  CleanUpOnTermination(RemoveHiddenNamesOnSignal);
}

// The process that made a hidden name, when it was one of this host.
bool HiddenNameOwner(const std::string& name, pid_t& owner) {
  if (name.empty() || name[0] != '.') return false;
  size_t mark = name.rfind(HiddenMark);
  if (mark == std::string::npos) return false;
  const char* at = name.c_str() + mark + sizeof HiddenMark - 1;
  char* end = nullptr;
  errno = 0;
  long pid = std::strtol(at, &end, 10);
  if (end == at || *end != '@' || errno != 0 || pid <= 0) return false;
  std::string host = HostName() + ".";
  if (std::strncmp(end + 1, host.c_str(), host.size()) != 0) return false;
  owner = static_cast<pid_t>(pid);
  return end[1 + host.size()] != 0;
}

bool ProcessIsGone(pid_t pid) { return pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

std::string PathDirectory(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string PathBaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HiddenNameFor(const std::string& target) {
  static std::mt19937_64 random{std::random_device{}()};
  static const std::string owner = std::to_string(getpid()) + "@" + HostName();
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%012llx",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
  std::string directory = PathDirectory(target);
  std::string prefix = directory == "/" ? "/" : directory + "/";
  return prefix + "." + PathBaseName(target) + HiddenMark + owner + suffix;
}

void RememberHiddenFile(const std::string& name) {
  HoldTermination();
  PrepareCleanup();
  HiddenNames().push_back(name);
  ReleaseTermination();
}

void ForgetHiddenFile(const std::string& name) {
  HoldTermination();
  auto& names = HiddenNames();
  names.erase(std::remove(names.begin(), names.end(), name), names.end());
  ReleaseTermination();
}

size_t HiddenFileCount() { return HiddenNames().size(); }

void RemoveStaleHiddenFiles(const std::string& directory) {
  static std::set<std::string> cleaned;
  if (!cleaned.insert(directory).second) return;
  DIR* listing = opendir(directory.c_str());
  if (!listing) return;
  std::string prefix = directory == "/" ? "/" : directory + "/";
  while (const dirent* entry = readdir(listing)) {
    pid_t owner = 0;
    if (HiddenNameOwner(entry->d_name, owner) && ProcessIsGone(owner))
      unlink((prefix + entry->d_name).c_str());
  }
  closedir(listing);
}

}  // namespace tolvane
