// MpBlob: a byte array value with its size, as carried by blob pins on both halves.
#pragma once

#include "framework/mp_interfaces.h"

#include <cstring>
#include <memory>

namespace gmpi {

class MpBlob {
  public:
    MpBlob() = default;
    MpBlob(int32 size, const void* data) { assign(size, data); }
    MpBlob(const MpBlob& other) { assign(other.size_, other.data_.get()); }
    MpBlob& operator=(const MpBlob& other) {
        if (this != &other) assign(other.size_, other.data_.get());
        return *this;
    }

    // Reallocates only when the size changes, then copies the bytes. A size of 0 or less
    // leaves an empty blob.
    void assign(int32 size, const void* data) {
        if (size < 0) size = 0;
        if (size != size_) {
            data_.reset(size > 0 ? new char[size] : nullptr);
            size_ = size;
        }
        if (size > 0) {
            if (data)
                std::memcpy(data_.get(), data, static_cast<std::size_t>(size));
            else
                std::memset(data_.get(), 0, static_cast<std::size_t>(size));
        }
    }

    int32 size() const { return size_; }
    const char* data() const { return data_.get(); }
    char* data() { return data_.get(); }

    bool operator==(const MpBlob& other) const {
        return size_ == other.size_ &&
               (size_ == 0 ||
                std::memcmp(data_.get(), other.data_.get(), static_cast<std::size_t>(size_)) == 0);
    }
    bool operator!=(const MpBlob& other) const { return !(*this == other); }

  private:
    int32 size_ = 0;
    std::unique_ptr<char[]> data_;
};

} // namespace gmpi
