#include "device/linux/hidden_files.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "os/linux/termination.h"
#include "os/win32.h"

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

// When a process started, in clock ticks since the boot: with its number it
// names the process for as long as the host runs. 0 when unknown.
unsigned long long ProcessStart(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/stat";
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return 0;
  char text[1024] = {};
  size_t got = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[got] = 0;
  // The command name may hold anything up to the last parenthesis; the
  // start is the 20th field after it.
  const char* at = std::strrchr(text, ')');
  for (int field = 0; at && field < 20; ++field) at = std::strchr(at + 1, ' ');
  return at ? std::strtoull(at + 1, nullptr, 10) : 0;
}

// An owner "PID-START@HOST" or "PID@HOST", read up to its end.
struct TOwner {
  pid_t Pid = 0;
  unsigned long long Start = 0;
  std::string Host;
};

bool ReadOwner(const std::string& text, TOwner& owner) {
  const char* at = text.c_str();
  char* end = nullptr;
  errno = 0;
  long pid = std::strtol(at, &end, 10);
  if (end == at || errno != 0 || pid <= 0 || pid > INT32_MAX || !std::isdigit(*at)) return false;
  owner.Pid = static_cast<pid_t>(pid);
  if (*end == '-') {
    const char* start = end + 1;
    owner.Start = std::strtoull(start, &end, 10);
    if (end == start || !std::isdigit(*start) || errno != 0) return false;
  }
  if (*end != '@' || end[1] == 0) return false;
  owner.Host = end + 1;
  return owner.Host.find_first_of("./") == std::string::npos;
}

bool ProcessIsGone(const TOwner& owner) {
  if (owner.Pid == getpid()) return false;
  if (kill(owner.Pid, 0) != 0) return errno == ESRCH;
  unsigned long long start = owner.Start ? ProcessStart(owner.Pid) : 0;
  return start != 0 && start != owner.Start;
}

}  // namespace

std::string OwnHiddenOwner() {
  static const std::string owner = std::to_string(getpid()) + "-" +
                                   std::to_string(ProcessStart(getpid())) + "@" + HostName();
  return owner;
}

std::string HiddenFileOwner(const std::string& name, const char* mark) {
  if (name.empty() || name[0] != '.' || name.find('/') != std::string::npos) return "";
  size_t at = name.rfind(mark);
  if (at == std::string::npos) return "";
  at += std::strlen(mark);
  size_t host = name.find('@', at);
  if (host == std::string::npos) return "";
  size_t end = name.find('.', host);
  // A random part follows the owner.
  if (end == std::string::npos || end + 1 >= name.size()) return "";
  std::string owner = name.substr(at, end - at);
  TOwner read;
  return ReadOwner(owner, read) ? owner : "";
}

bool HiddenOwnerIsGone(const std::string& owner) {
  TOwner read;
  return ReadOwner(owner, read) && read.Host == HostName() && ProcessIsGone(read);
}


bool HiddenOwnerIsRunning(const std::string& owner) {
  TOwner read;
  return ReadOwner(owner, read) && read.Host == HostName() && !ProcessIsGone(read);
}

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
  const std::string& owner = OwnHiddenOwner();
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

void RemoveStaleHiddenFiles(const std::string& directory, const std::set<std::string>& spared) {
  DIR* listing = opendir(directory.c_str());
  if (!listing) return;
  std::string prefix = directory == "/" ? "/" : directory + "/";
  std::set<std::string> owners;
  size_t removed = 0;
  while (const dirent* entry = readdir(listing)) {
    std::string owner = HiddenFileOwner(entry->d_name);
    if (owner.empty() || spared.count(owner) || !HiddenOwnerIsGone(owner)) continue;
    if (unlink((prefix + entry->d_name).c_str()) != 0) continue;
    ++removed;
    owners.insert(owner.substr(0, owner.find('-')).substr(0, owner.find('@')));
  }
  closedir(listing);
  if (removed == 0) return;
  std::string processes;
  for (const std::string& pid : owners) processes += (processes.empty() ? "" : ", ") + pid;
  Diagnose("removed " + std::to_string(removed) + " hidden file" + (removed == 1 ? "" : "s") +
           " in " + directory + " that a killed job left (process " + processes +
           ", no longer running)");
}

}  // namespace tolvane
