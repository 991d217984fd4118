// File mappings backed by memory (the paging file on Windows):
// CreateFileMappingA, OpenFileMappingA, MapViewOfFile and UnmapViewOfFile.
//
// A named mapping is shared by every process that opens it and starts out
// zero-filled. Like the handles, every mapped view keeps the mapping (and
// its name) alive until it is unmapped.

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <unordered_map>

#include "KernelObject.h"
#include "SharedRegion.h"

namespace winkernel {

namespace {

constexpr uint64_t kViewAlignment = 65536;

class Mapping final : public Object {
 public:
  explicit Mapping(std::shared_ptr<SharedRegion> region)
      : Object(Kind::Mapping), region_(std::move(region)) {}

  const std::shared_ptr<SharedRegion>& region() const { return region_; }

 private:
  std::shared_ptr<SharedRegion> region_;
};

class View {
 public:
  View(std::shared_ptr<SharedRegion> region, void* base) : region_(std::move(region)), base_(base) {}
  ~View() { munmap(base_, region_->length()); }
  View(const View&) = delete;
  View& operator=(const View&) = delete;

 private:
  std::shared_ptr<SharedRegion> region_;
  void* base_;
};

// Views by the address MapViewOfFile gave out. Guarded by tableLock().
std::unordered_map<const void*, std::shared_ptr<View>>& viewTable() {
  static auto* views = new std::unordered_map<const void*, std::shared_ptr<View>>;
  return *views;
}

}  // namespace

}  // namespace winkernel

using winkernel::setLastError;

extern "C" {

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES /*attributes*/, DWORD protect,
                          DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
  if (file != INVALID_HANDLE_VALUE) {
    // Only memory-backed mappings exist here; there are no file handles.
    setLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const uint64_t size = (static_cast<uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
  if ((protect & 0xFFu) != PAGE_READWRITE || size == 0) {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  std::shared_ptr<winkernel::SharedRegion> region;
  if (name == nullptr || *name == '\0') {
    region = winkernel::createUnnamedShared(size);
  } else {
    // Fresh host shared memory is zero-filled already.
    region = winkernel::openShared(name, winkernel::SharedKind::Mapping, size, true, nullptr,
                                   &existed);
  }
  if (region == nullptr) {
    return nullptr;
  }
  HANDLE handle = winkernel::publish(std::make_shared<winkernel::Mapping>(std::move(region)));
  setLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE OpenFileMappingA(DWORD /*desiredAccess*/, BOOL /*inheritHandle*/, LPCSTR name) {
  if (name == nullptr || *name == '\0') {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  std::shared_ptr<winkernel::SharedRegion> region =
      winkernel::openShared(name, winkernel::SharedKind::Mapping, 0, false, nullptr, &existed);
  if (region == nullptr) {
    return nullptr;
  }
  HANDLE handle = winkernel::publish(std::make_shared<winkernel::Mapping>(std::move(region)));
  setLastError(ERROR_SUCCESS);
  return handle;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytes) {
  auto object = winkernel::lookupAs<winkernel::Mapping>(mapping, winkernel::Kind::Mapping);
  if (object == nullptr) {
    return nullptr;
  }
  const std::shared_ptr<winkernel::SharedRegion>& region = object->region();
  const uint64_t offset = (static_cast<uint64_t>(offsetHigh) << 32) | offsetLow;
  const uint64_t size = region->userSize();
  if (offset % winkernel::kViewAlignment != 0) {
    setLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  if (offset >= size || bytes > size - offset) {
    setLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  int protection;
  if ((desiredAccess & FILE_MAP_WRITE) != 0) {
    protection = PROT_READ | PROT_WRITE;
  } else if ((desiredAccess & FILE_MAP_READ) != 0) {
    protection = PROT_READ;
  } else {
    setLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* base = mmap(nullptr, region->length(), protection, MAP_SHARED, region->descriptor(), 0);
  if (base == MAP_FAILED) {
    setLastError(winkernel::errorFromErrno(errno));
    return nullptr;
  }
  void* view = static_cast<char*>(base) + winkernel::kSharedHeaderSize + offset;
  auto entry = std::make_shared<winkernel::View>(region, base);
  std::lock_guard<std::mutex> guard(winkernel::tableLock());
  winkernel::viewTable().emplace(view, std::move(entry));
  return view;
}

BOOL UnmapViewOfFile(LPCVOID view) {
  std::shared_ptr<winkernel::View> unmapped;
  {
    std::lock_guard<std::mutex> guard(winkernel::tableLock());
    auto& views = winkernel::viewTable();
    auto found = views.find(view);
    if (found != views.end()) {
      unmapped = std::move(found->second);
      views.erase(found);
    }
  }
  if (unmapped == nullptr) {
    setLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
