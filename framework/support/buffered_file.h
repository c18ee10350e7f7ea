// Buffered file classes through which the image readers read: TFile, the
// abstract file; SpecialFile, a read/write buffer with one byte of push-back
// over a set of raw operations; SpecialPloFile, raw operations on C streams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/objects/objects.h"
#include "framework/support/file_access.h"
#include "framework/support/status.h"

namespace lumetra {

// Seek origins.
enum : int32_t {
  kSeekFromStart = 0,
  kSeekFromEnd = 1,    // the target is size - offset
  kSeekRelative = 2,   // from the current position
};

// The buffer size the image readers use.
constexpr uint32_t kReaderBufferSize = 65536;

class TFile : public TBasicObject {
 public:
  // Hooks to override, in this order; each gives kNotAvailable here.
  virtual Status Read(size_t length, size_t* count, void* buffer);
  virtual Status Write(size_t length, size_t* count, const void* data);
  virtual Status Seek(int64_t offset, int32_t origin);
  virtual Status Tell(uint32_t* position);
};

class SpecialFile : public TFile {
 public:
  SpecialFile() = default;
  ~SpecialFile() override;

  // TFile's operations, over the buffer. `count` may be null.
  // Reading past the end is not an error: the count tells, later reads give
  // kEndOfData until the next Seek. A file is closed until an Open succeeds
  // and again after Close: reading gives kEndOfData, writing kFileNotOpen.
  Status Read(size_t length, size_t* count, void* buffer) override;
  Status Write(size_t length, size_t* count, const void* data) override;
  // A target before the start or beyond 32 bits gives kSeekFailed and moves nothing.
  Status Seek(int64_t offset, int32_t origin) override;
  Status Tell(uint32_t* position) override;

  // Hooks to override, in this order.
  // Pushes one byte back for the next Read; kFileNotOpen at position 0 or
  // when a byte is already pushed back.
  virtual Status Unget(uint8_t byte);
  // Reading: reads the rest in 128-byte chunks; writing: flushes. 0.
  virtual Status Finish();
  virtual Status RawRead(size_t length, size_t* count, void* buffer);       // 0, nothing read
  virtual Status RawWrite(size_t length, size_t* count, const void* data);  // 0
  virtual Status RawSeek(int64_t offset, int32_t origin);                   // kNotAvailable
  virtual Status RawSize(uint32_t* size);                                   // kNotAvailable
  virtual Status RawClose();                                                // 0
  virtual Status RawOpen(const char* name, int32_t mode);                   // keeps the name; 0
  virtual Status BeforeFirstAccess();                                       // 0

  // Fixed operations.
  // Resets every field and keeps the path (referenced, not copied).
  void SetName(const char* path);
  const char* Name() const { return name_; }
  // Frees an owned buffer; with a size above 0 uses `memory` (not owned) or,
  // when null, a new block of that size (owned). 21002 leaves the file unbuffered.
  Status SetBuffer(void* memory, uint32_t size);
  // kFileModeRead or kFileModeWrite. Resets the position, the buffer and the
  // push-back, opens (RawOpen) and learns the size (RawSize).
  Status Open(int32_t mode);
  // Flushes in write mode and closes; the RawClose status.
  Status Close();
  uint32_t GetSize() const { return size_; }
  bool IsClosed() const { return (state_ & kStateClosed) != 0; }
  bool EndReached() const { return (state_ & kStateEndReached) != 0; }

 protected:
  FileHandle file_ = nullptr;  // the open C file of a SpecialPloFile

 private:
  enum : uint32_t { kStateClosed = 1u << 0, kStateEndReached = 1u << 1 };

  void FlushBuffer();
  void ResetFields();

  uint8_t* buffer_ = nullptr;
  uint32_t buffer_size_ = 0;  // 0: unbuffered
  uint32_t index_ = 0;        // next byte to deliver from the buffer
  uint32_t fill_ = 0;         // reading: bytes valid; writing: bytes waiting
  const char* name_ = nullptr;
  int32_t mode_ = 0;
  uint8_t pushed_back_ = 0;
  bool has_pushed_back_ = false;
  uint32_t position_ = 0;     // the logical position in the file
  uint32_t size_ = 0;         // as learned at opening, raised by writes beyond it
  bool buffer_owned_ = false;
  uint32_t state_ = kStateClosed;
};

// Raw operations on a C stream (FileOpen and friends).
class SpecialPloFile : public SpecialFile {
 public:
  SpecialPloFile() = default;
  ~SpecialPloFile() override;  // closes an open file

  // kFileNotOpen without an open file. A read that delivered at least one byte gives 0.
  Status RawRead(size_t length, size_t* count, void* buffer) override;
  Status RawWrite(size_t length, size_t* count, const void* data) override;
  Status RawSeek(int64_t offset, int32_t origin) override;
  Status RawSize(uint32_t* size) override;
  Status RawClose() override;
  Status RawOpen(const char* name, int32_t mode) override;
};

}  // namespace lumetra
