#pragma once

#include <unistd.h>

#include <utility>

namespace tarvik {

// Owns one open file descriptor and closes it on every way out; -1 owns nothing.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    explicit operator bool() const { return fd >= 0; }
};

}  // namespace tarvik
