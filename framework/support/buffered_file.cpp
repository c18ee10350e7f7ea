#include "framework/support/buffered_file.h"

#include <algorithm>
#include <cstring>

#include "framework/support/memory.h"

namespace lumetra {

namespace {

constexpr size_t kFinishChunk = 128;  // Finish reads the rest in pieces of this size

// Positions are 32-bit; a sum beyond that stays at the largest position.
uint32_t AddToPosition(uint32_t position, size_t count) {
  uint64_t sum = uint64_t{position} + count;
  return sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
}

}  // namespace

// ---------------------------------------------------------------------------
// TFile: nothing is provided.

Status TFile::Read(size_t, size_t* count, void*) {
  if (count) *count = 0;
  return kNotAvailable;
}

Status TFile::Write(size_t, size_t* count, const void*) {
  if (count) *count = 0;
  return kNotAvailable;
}

Status TFile::Seek(int64_t, int32_t) { return kNotAvailable; }

Status TFile::Tell(uint32_t*) { return kNotAvailable; }

// ---------------------------------------------------------------------------
// SpecialFile

SpecialFile::~SpecialFile() { SetBuffer(nullptr, 0); }

void SpecialFile::ResetFields() {
  buffer_ = nullptr;
  buffer_size_ = 0;
  index_ = 0;
  fill_ = 0;
  name_ = nullptr;
  file_ = nullptr;
  mode_ = 0;
  pushed_back_ = 0;
  has_pushed_back_ = false;
  position_ = 0;
  size_ = 0;
  buffer_owned_ = false;
  state_ = kStateClosed;  // until an Open succeeds
}

void SpecialFile::SetName(const char* path) {
  // Whatever the file held is given up properly before the fields forget it.
  if (file_) Close();
  SetBuffer(nullptr, 0);
  ResetFields();
  name_ = path;
}

Status SpecialFile::SetBuffer(void* memory, uint32_t size) {
  FlushBuffer();
  // Unread bytes in a read buffer are ahead of the logical position: put the
  // underlying file back where the next byte comes from.
  bool had_unread = mode_ == kFileModeRead && buffer_size_ > 0 && index_ < fill_;
  if (buffer_owned_) MemFree(buffer_);
  buffer_ = nullptr;
  buffer_size_ = 0;
  buffer_owned_ = false;
  index_ = 0;
  fill_ = 0;
  if (had_unread) RawSeek(AddToPosition(position_, has_pushed_back_ ? 1 : 0), kSeekFromStart);
  if (size == 0) return kOk;
  if (memory) {
    buffer_ = static_cast<uint8_t*>(memory);
  } else {
    buffer_ = static_cast<uint8_t*>(MemAlloc(size));
    if (!buffer_) return kOutOfMemory;
    buffer_owned_ = true;
  }
  buffer_size_ = size;
  return kOk;
}

Status SpecialFile::Open(int32_t mode) {
  mode_ = mode;
  position_ = 0;
  index_ = 0;
  fill_ = 0;
  has_pushed_back_ = false;
  state_ = 0;  // a file closed before opens afresh
  Status status = RawOpen(name_, mode);
  if (status == kOk) status = RawSize(&size_);
  if (status != kOk) {
    // No file, or no size: a failed Open leaves nothing open, and the file
    // stays closed, so that no write is taken in only to be lost.
    RawClose();
    state_ |= kStateClosed;
    size_ = 0;
  }
  return status;
}

Status SpecialFile::Close() {
  if (state_ & kStateClosed) return kOk;
  FlushBuffer();
  Status status = RawClose();
  state_ |= kStateClosed;
  return status;
}

void SpecialFile::FlushBuffer() {
  if (mode_ != kFileModeRead && buffer_size_ > 0 && fill_ > 0) {
    size_t written = 0;
    RawWrite(fill_, &written, buffer_);  // a write error here goes unreported
  }
  index_ = 0;
  fill_ = 0;
}

Status SpecialFile::Read(size_t length, size_t* count, void* buffer) {
  if (count) *count = 0;
  if (!buffer && length > 0) return kBadArgument;
  if (position_ == 0) {
    Status status = BeforeFirstAccess();
    if (status != kOk) return status;
  }
  if (state_ & kStateClosed) return kEndOfData;
  // A byte pushed back after the end was met is still owed to the reader.
  if ((state_ & kStateEndReached) && !has_pushed_back_) return kEndOfData;
  if (mode_ == kFileModeWrite) return kNotAvailable;

  auto* out = static_cast<uint8_t*>(buffer);
  size_t delivered = 0;
  Status status = kOk;
  if (length > 0 && has_pushed_back_) {
    out[delivered++] = pushed_back_;
    has_pushed_back_ = false;
  }
  if (state_ & kStateEndReached) {
    // Only the pushed-back byte was left.
  } else if (buffer_size_ > 0) {
    while (delivered < length) {
      if (index_ >= fill_) {
        size_t got = 0;
        RawRead(buffer_size_, &got, buffer_);  // the refill's status is not returned
        index_ = 0;
        fill_ = static_cast<uint32_t>(std::min<size_t>(got, buffer_size_));
        if (fill_ == 0) {
          state_ |= kStateEndReached;
          break;
        }
      }
      size_t take = std::min<size_t>(fill_ - index_, length - delivered);
      std::memcpy(out + delivered, buffer_ + index_, take);
      index_ += static_cast<uint32_t>(take);
      delivered += take;
    }
  } else {
    while (delivered < length) {
      size_t wanted = length - delivered;
      size_t got = 0;
      status = RawRead(wanted, &got, out + delivered);
      got = std::min(got, wanted);
      delivered += got;
      if (status != kOk || got == 0) {
        state_ |= kStateEndReached;
        break;
      }
    }
  }
  position_ = AddToPosition(position_, delivered);
  if (count) *count = delivered;
  return status;
}

Status SpecialFile::Write(size_t length, size_t* count, const void* data) {
  if (count) *count = 0;
  if (!data && length > 0) return kBadArgument;
  if (position_ == 0) {
    Status status = BeforeFirstAccess();
    if (status != kOk) return status;
  }
  if (state_ & kStateClosed) return kFileNotOpen;
  // The buffer of a reading file holds read bytes, not bytes waiting to go out.
  if (mode_ == kFileModeRead) return kNotAvailable;

  const auto* in = static_cast<const uint8_t*>(data);
  size_t written = 0;
  Status status = kOk;
  if (buffer_size_ == 0) {
    status = RawWrite(length, &written, data);
    written = std::min(written, length);
  } else {
    while (written < length) {
      size_t take = std::min<size_t>(buffer_size_ - fill_, length - written);
      std::memcpy(buffer_ + fill_, in + written, take);
      fill_ += static_cast<uint32_t>(take);
      written += take;
      if (fill_ == buffer_size_) FlushBuffer();
    }
  }
  position_ = AddToPosition(position_, written);
  if (position_ > size_) size_ = position_;
  if (count) *count = written;
  return status;
}

Status SpecialFile::Seek(int64_t offset, int32_t origin) {
  int64_t target = 0;
  switch (origin) {
    case kSeekFromStart: target = offset; break;
    case kSeekFromEnd: target = int64_t{GetSize()} - offset; break;
    case kSeekRelative: target = int64_t{position_} + offset; break;
    default: return kBadArgument;
  }
  if (target < 0 || target > int64_t{UINT32_MAX}) return kSeekFailed;

  // buffer_[i] holds the byte at file position position_ - index_ + i, one
  // further on while a pushed-back byte stands in for the byte before.
  int64_t in_buffer = target - position_ - (has_pushed_back_ ? 1 : 0) + index_;
  if (mode_ == kFileModeRead && buffer_size_ > 0 && in_buffer >= 0 && in_buffer < fill_) {
    index_ = static_cast<uint32_t>(in_buffer);
  } else {
    FlushBuffer();
    RawSeek(target, kSeekFromStart);  // its status is not returned
  }
  position_ = static_cast<uint32_t>(target);
  has_pushed_back_ = false;
  state_ &= ~kStateEndReached;
  return kOk;
}

Status SpecialFile::Tell(uint32_t* position) {
  if (!position) return kBadArgument;
  *position = position_;
  return kOk;
}

Status SpecialFile::Unget(uint8_t byte) {
  // One byte of push-back, and never before the start.
  if (position_ == 0 || has_pushed_back_) return kFileNotOpen;
  pushed_back_ = byte;
  has_pushed_back_ = true;
  --position_;
  return kOk;
}

Status SpecialFile::Finish() {
  if (mode_ == kFileModeRead) {
    uint8_t chunk[kFinishChunk];
    for (;;) {
      size_t got = 0;
      if (Read(sizeof chunk, &got, chunk) != kOk || got < sizeof chunk) break;
    }
  } else {
    FlushBuffer();
  }
  return kOk;
}

Status SpecialFile::RawRead(size_t, size_t* count, void*) {
  if (count) *count = 0;
  return kOk;
}

Status SpecialFile::RawWrite(size_t, size_t* count, const void*) {
  if (count) *count = 0;
  return kOk;
}

Status SpecialFile::RawSeek(int64_t, int32_t) { return kNotAvailable; }

Status SpecialFile::RawSize(uint32_t*) { return kNotAvailable; }

Status SpecialFile::RawClose() { return kOk; }

Status SpecialFile::RawOpen(const char* name, int32_t) {
  name_ = name;
  return kOk;
}

Status SpecialFile::BeforeFirstAccess() { return kOk; }

// ---------------------------------------------------------------------------
// SpecialPloFile

SpecialPloFile::~SpecialPloFile() {
  // Here, not in the base: only this class's raw operations reach the file.
  if (file_) Close();
}

Status SpecialPloFile::RawRead(size_t length, size_t* count, void* buffer) {
  if (count) *count = 0;
  if (!file_) return kFileNotOpen;
  size_t got = 0;
  Status status = FileRead(file_, length, &got, buffer);
  if (count) *count = got;
  return got > 0 ? Status{kOk} : status;
}

Status SpecialPloFile::RawWrite(size_t length, size_t* count, const void* data) {
  if (count) *count = 0;
  if (!file_) return kFileNotOpen;
  return FileWrite(file_, length, count, data);
}

Status SpecialPloFile::RawSeek(int64_t offset, int32_t origin) {
  if (!file_) return kFileNotOpen;
  switch (origin) {
    case kSeekFromStart: return FileSeek(file_, offset, true);
    case kSeekFromEnd: {
      uint32_t size = 0;
      Status status = FileSize(file_, &size);
      if (status != kOk) return status;
      int64_t target = int64_t{size} - offset;
      if (target < 0) return kSeekFailed;
      return FileSeek(file_, target, true);
    }
    case kSeekRelative: return FileSeek(file_, offset, false);
    default: return kBadArgument;
  }
}

Status SpecialPloFile::RawSize(uint32_t* size) {
  if (!file_) return kFileNotOpen;
  return FileSize(file_, size);
}

Status SpecialPloFile::RawClose() {
  if (!file_) return kOk;
  Status status = FileClose(file_);
  file_ = nullptr;
  return status;
}

Status SpecialPloFile::RawOpen(const char* name, int32_t mode) {
  RawClose();
  SpecialFile::RawOpen(name, mode);
  return FileOpen(name, mode, &file_);
}

}  // namespace lumetra
