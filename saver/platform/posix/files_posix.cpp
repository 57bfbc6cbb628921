// Files natively: reads, sizes, a bare name searched beside the program and
// in the current folder, and bounded folder walks.
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/files_posix.h"

// Catalogue paths are written with backslashes; here they become slashes.
static std::string NativePath(const char* name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

bool PlatformProgramFolder(char* folder, size_t size) {
  if (size == 0) return false;
  folder[0] = 0;
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return false;
  self[length] = 0;
  const char* slash = std::strrchr(self, '/');
  if (slash == nullptr || static_cast<size_t>(slash - self) >= size) return false;
  std::memcpy(folder, self, static_cast<size_t>(slash - self));
  folder[slash - self] = 0;
  return true;
}

static std::string ProgramFolder() {
  char folder[PATH_MAX];
  return PlatformProgramFolder(folder, sizeof folder) ? std::string(folder) + "/" : std::string();
}

static FILE* OpenRegular(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  return std::fopen(path.c_str(), "rb");
}

FileHandle PlatformOpenRead(const char* name, char* foundPath, size_t foundPathSize) {
  std::string path = NativePath(name);
  FILE* file = nullptr;
  std::string opened;
  if (path.find('/') != std::string::npos) {
    opened = path;
    file = OpenRegular(opened);
  } else {
    // A bare name: the program's own folder first, then the current one.
    opened = ProgramFolder() + path;
    file = OpenRegular(opened);
    if (file == nullptr) {
      opened = path;
      file = OpenRegular(opened);
    }
  }
  if (file == nullptr) return nullptr;
  if (foundPath != nullptr && foundPathSize > 0) {
    char full[PATH_MAX];
    const char* shown = realpath(opened.c_str(), full) ? full : opened.c_str();
    std::snprintf(foundPath, foundPathSize, "%s", shown);
  }
  return file;
}

bool PlatformRead(FileHandle file, void* buffer, uint32_t size, uint32_t* got) {
  FILE* f = static_cast<FILE*>(file);
  size_t n = std::fread(buffer, 1, size, f);
  *got = static_cast<uint32_t>(n);
  return !std::ferror(f);
}

bool PlatformFileSize(FileHandle file, uint32_t* size) {
  struct stat info;
  if (fstat(fileno(static_cast<FILE*>(file)), &info) != 0) return false;
  *size = static_cast<uint32_t>(info.st_size);
  return true;
}

void PlatformClose(FileHandle file) { std::fclose(static_cast<FILE*>(file)); }

bool PlatformPathIsAbsolute(const char* path) {
  if (path[0] == '/' || path[0] == '\\') return true;
  return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}


namespace {

// The folders from the first one down to the one being read, by device and
// inode: a link to any of them leads back up.
struct FolderId {
  dev_t device;
  ino_t inode;
};

struct FolderWalk {
  FolderListLimits limits;
  int64_t entries;  // looked at so far
  int32_t folders;  // read so far
  std::vector<FolderId> way;
  FolderVisit visit;
  void* context;
};

bool OnTheWay(const FolderWalk& walk, const struct stat& info) {
  for (const FolderId& id : walk.way)
    if (id.device == info.st_dev && id.inode == info.st_ino) return true;
  return false;
}

bool WalkFolder(const std::string& base, int32_t depth, const struct stat& folder, FolderWalk* walk) {
  if (walk->folders >= walk->limits.folders) return false;
  DIR* dir = opendir(base.c_str());
  if (dir == nullptr) return false;
  walk->folders += 1;
  walk->way.push_back(FolderId{folder.st_dev, folder.st_ino});
  const std::string prefix = !base.empty() && base.back() == '/' ? base : base + "/";
  while (walk->entries < walk->limits.entries) {
    const dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    if (entry->d_name[0] == '.') continue;
    walk->entries += 1;
    const std::string path = prefix + entry->d_name;
    struct stat info;
    if (stat(path.c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode))
      walk->visit(path.c_str(), walk->context);
    else if (S_ISDIR(info.st_mode) && depth > 0 && !OnTheWay(*walk, info))
      WalkFolder(path, depth - 1, info, walk);
  }
  walk->way.pop_back();
  closedir(dir);
  return true;
}

}  // namespace

bool ListFolderWithin(const char* folder, int32_t depth, FolderListLimits limits, FolderVisit visit, void* context) {
  const std::string base = NativePath(folder);
  struct stat info;
  if (stat(base.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  FolderWalk walk = {limits, 0, 0, {}, visit, context};
  return WalkFolder(base, depth, info, &walk);
}

bool PlatformListFolder(const char* folder, int32_t depth, FolderVisit visit, void* context) {
  return ListFolderWithin(folder, depth, FolderListLimits{FolderListEntryLimit, FolderListFolderLimit}, visit,
                          context);
}
