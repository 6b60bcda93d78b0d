// A PC program's side of the control protocol, written from docs/protocol.md alone: it
// includes nothing of the program. Frames to the device itself (destination F100), framed
// and escaped as the page says, each request numbered in byte 5 so that a reply can be
// matched to its request; over UDP a request is sent again when its reply does not come.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/loopback.h"

namespace pc {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline unsigned get16(const Bytes& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8;
}
inline uint8_t checkByte(const Bytes& b, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= b[i];
    return x;
}

// The PC's own address and the device's.
constexpr unsigned kPc = 0xF010;
constexpr unsigned kDevice = 0xF100;

// A frame to the device: destination, source, 10, the sequence number as the kind byte
// (echoed), routing 00, port 00, 00, the command, the payload, the check byte.
inline Bytes frame(uint8_t command, const Bytes& payload, uint8_t sequence) {
    Bytes f;
    put16(f, kDevice);
    put16(f, kPc);
    for (uint8_t b : {uint8_t(0x10), sequence, uint8_t(0), uint8_t(0), uint8_t(0), command})
        f.push_back(b);
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(checkByte(f, f.size()));
    return f;
}

// The payload of a memory or register request: address, count, extra word, data.
inline Bytes access(uint32_t address, unsigned count, const Bytes& data = {}, unsigned extra = 0) {
    Bytes p;
    put32(p, address);
    put16(p, count);
    put16(p, extra);
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// A5 A5 A5, the frame with A5, 5A and AA sent as AA 01, AA 02, AA 03, then 5A.
inline Bytes escape(const Bytes& f) {
    Bytes out = {0xA5, 0xA5, 0xA5};
    for (uint8_t c : f) {
        if (c == 0xA5 || c == 0x5A || c == 0xAA) {
            out.push_back(0xAA);
            out.push_back(c == 0xA5 ? 1 : c == 0x5A ? 2 : 3);
        } else {
            out.push_back(c);
        }
    }
    out.push_back(0x5A);
    return out;
}

// Collects frames from a byte stream: a frame starts after A5 A5 A5 and ends at 5A.
class Unframer {
public:
    void feed(const uint8_t* data, size_t n) {
        for (size_t i = 0; i < n; ++i)
            take(data[i]);
    }
    bool next(Bytes* frame) {
        if (frames_.empty())
            return false;
        *frame = frames_.front();
        frames_.erase(frames_.begin());
        return true;
    }

private:
    void take(uint8_t c) {
        if (c == 0xA5) {
            starts_ = inFrame_ ? 1 : starts_ + 1;
            inFrame_ = false;
            if (starts_ >= 3) {
                inFrame_ = true;
                starts_ = 0;
                current_.clear();
                escaped_ = false;
            }
            return;
        }
        starts_ = 0;
        if (!inFrame_)
            return;
        if (c == 0x5A) {
            if (!current_.empty() && !escaped_)
                frames_.push_back(current_);
            inFrame_ = false;
        } else if (c == 0xAA) {
            escaped_ = true;
        } else {
            current_.push_back(escaped_ ? (c == 1 ? 0xA5 : c == 2 ? 0x5A : 0xAA) : c);
            escaped_ = false;
        }
    }

    std::vector<Bytes> frames_;
    Bytes current_;
    unsigned starts_ = 0;
    bool inFrame_ = false;
    bool escaped_ = false;
};

// A reply as the page describes it: the request's bytes 0..9 with the addresses swapped,
// the status byte, the reply data, the check byte.
struct Reply {
    Bytes frame;
    uint8_t status() const { return frame.at(10); }
    // Everything between the status byte and the check byte.
    Bytes data() const { return Bytes(frame.begin() + 11, frame.end() - 1); }
    // For memory and register replies: the reply data after the echoed 8-byte header.
    Bytes values() const { return Bytes(frame.begin() + 19, frame.end() - 1); }
    uint8_t sequence() const { return frame.at(5); }
};

// A reply to a request whose command and number it names, with a good check byte.
inline bool answers(const Bytes& reply, const Bytes& request) {
    return reply.size() >= 12 && checkByte(reply, reply.size() - 1) == reply.back() &&
           get16(reply, 0) == get16(request, 2) && get16(reply, 2) == get16(request, 0) &&
           reply[5] == request[5] && reply[9] == request[9];
}

class Link {
public:
    virtual ~Link() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    // Sends one request and waits for its reply; nothing when none came in time. Replies
    // to earlier requests (a retried request is answered once per copy) are skipped.
    std::optional<Reply> exchange(uint8_t command, const Bytes& payload, int timeoutMs = 10000) {
        const Bytes request = frame(command, payload, ++sequence_);
        sendRaw(escape(request));
        return await(request, timeoutMs);
    }
    // Sends a frame built by the caller (framed and escaped here) and waits for its reply.
    std::optional<Reply> send(const Bytes& request, int timeoutMs = 10000) {
        sendRaw(escape(request));
        return await(request, timeoutMs);
    }
    // The next request number, for a frame built by the caller.
    uint8_t nextSequence() { return ++sequence_; }
    // Bytes as they are, for frames the device must not take.
    virtual void sendRaw(const Bytes& bytes) = 0;
    // The request numbers (byte 5) of the replies that answered no request still waiting.
    const std::vector<uint8_t>& stale() const { return stale_; }
    // How many of them carried this number.
    size_t staleWith(uint8_t sequence) const {
        size_t n = 0;
        for (uint8_t s : stale_)
            n += s == sequence;
        return n;
    }

protected:
    std::optional<Reply> await(const Bytes& request, int timeoutMs) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto resent = start;
        while (Clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
            Bytes f;
            while (unframer_.next(&f)) {
                if (answers(f, request))
                    return Reply{f};
                stale_.push_back(f.size() > 5 ? f[5] : 0);
            }
            if (retryMs_ > 0 && Clock::now() - resent > std::chrono::milliseconds(retryMs_)) {
                sendRaw(escape(request));
                resent = Clock::now();
            }
            pollfd p = {fd_, POLLIN, 0};
            if (::poll(&p, 1, 10) != 1)
                continue;
            uint8_t buf[9000];
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                unframer_.feed(buf, static_cast<size_t>(n));
        }
        return std::nullopt;
    }

    int fd_ = -1;
    int retryMs_ = 0;  // a request not answered in this time is sent again (UDP)

private:
    Unframer unframer_;
    uint8_t sequence_ = 0;
    std::vector<uint8_t> stale_;
};

// One frame per datagram; a request whose reply is lost is sent again after a second.
class UdpLink : public Link {
public:
    explicit UdpLink(uint16_t port) : to_(test::loopback(port)) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        retryMs_ = 1000;
    }
    void sendRaw(const Bytes& bytes) override {
        ::sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to_),
                 sizeof to_);
    }

private:
    sockaddr_in to_;
};

class TcpLink : public Link {
public:
    explicit TcpLink(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to = test::loopback(port);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    bool connected() const { return connected_; }
    void sendRaw(const Bytes& bytes) override {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += static_cast<size_t>(n);
        }
    }

private:
    bool connected_ = false;
};

// The RS-485 port, 115200 baud 8N1, raw.
class SerialLink : public Link {
public:
    explicit SerialLink(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio = {};
        if (fd_ < 0 || ::tcgetattr(fd_, &tio) != 0)
            return;
        cfmakeraw(&tio);
        cfsetispeed(&tio, B115200);
        cfsetospeed(&tio, B115200);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    bool opened() const { return fd_ >= 0; }
    void sendRaw(const Bytes& bytes) override {
        size_t sent = 0;
        while (sent < bytes.size()) {
            ssize_t n = ::write(fd_, bytes.data() + sent, bytes.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            pollfd p = {fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) != 1)
                return;
        }
    }
};

}  // namespace pc
