// The private folders packs are unpacked into (and exported through), and
// their removal from a signal handler.
#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/errors_ours.h"
#include "kestrel/pack_archive.h"

namespace kestrel {
namespace {

// The folders living now, as C strings a signal handler can read: a slot
// holds one folder's path from its making until its removal. A program has
// a few at a time (both sides of a diff, an export's); one made when all are
// taken is still removed as usual, only not on a signal.
constexpr int kSlots = 16;
std::atomic<char*> g_slots[kSlots];

int TakeSlot(const std::string& path) {
  char* copy = ::strdup(path.c_str());
  if (copy == nullptr) return -1;
  for (int i = 0; i < kSlots; ++i) {
    char* expected = nullptr;
    if (g_slots[i].compare_exchange_strong(expected, copy)) return i;
  }
  ::free(copy);
  return -1;
}

// Removes what the folder `fd` holds, to `depth` folders down, with calls a
// signal handler may make (getdents64 is the system call readdir makes,
// without readdir's buffer from the heap). Passes over the folder until one
// removes nothing, as removing entries while reading moves the rest.
void EmptyFolderAt(int fd, int depth) noexcept {
  alignas(8) char buffer[4096];
  for (bool removed = true; removed;) {
    removed = false;
    if (::lseek(fd, 0, SEEK_SET) != 0) return;
    long n;
    while ((n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer)) > 0) {
      for (long at = 0; at < n;) {
        struct Entry {
          ino64_t inode;
          off64_t offset;
          unsigned short length;
          unsigned char type;
          char name[1];
        };
        const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
        at += entry->length;
        const char* name = entry->name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (::unlinkat(fd, name, 0) == 0) {
          removed = true;
        } else if ((errno == EISDIR || errno == EPERM) && depth > 0) {
          const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
          if (sub < 0) continue;
          EmptyFolderAt(sub, depth - 1);
          ::close(sub);
          if (::unlinkat(fd, name, AT_REMOVEDIR) == 0) removed = true;
        }
      }
    }
  }
}

void RemoveFolderNow(const char* path) noexcept {
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return;
  EmptyFolderAt(fd, 8);
  ::close(fd);
  ::rmdir(path);
}

}  // namespace

PrivateFolder::PrivateFolder(Env& env, std::string_view prefix) {
  std::string base = env.Variable("TMPDIR");
  if (base.empty()) base = "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string pattern = base + "/" + std::string(prefix) + "-XXXXXX";
  // mkdtemp makes the folder with mode 0700, whatever the umask.
  if (::mkdtemp(pattern.data()) == nullptr)
    RaiseWithDetail(Ours::PrivateFolderFailed, base + ": " + std::system_category().message(errno));
  path_ = pattern;
  slot_ = TakeSlot(path_);
}

PrivateFolder::~PrivateFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  if (slot_ >= 0) ::free(g_slots[slot_].exchange(nullptr));
}

void RemovePrivateFoldersNow() noexcept {
  for (auto& slot : g_slots)
    if (const char* path = slot.load()) RemoveFolderNow(path);
}

}  // namespace kestrel
