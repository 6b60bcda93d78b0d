// Framing of the control protocol on every transport: three start bytes A5 A5 A5, the
// escaped frame, the end byte 5A.
//
// Inside the escaped frame the bytes A5, 5A and the escape byte AA never appear: each of
// them is sent as AA followed by 01, 02 or 03. A receiver can therefore resynchronise at
// any start or end byte, and an escaped frame is never longer than 2 x L + 4 bytes.
#pragma once

#include <cstddef>

#include "core/types.h"

class protocol_phy {
public:
    static constexpr u8 kStart = 0xA5;
    static constexpr unsigned kStartCount = 3;
    static constexpr u8 kEnd = 0x5A;
    static constexpr u8 kEscape = 0xAA;
    // The largest unescaped frame a receiver takes; a longer one is dropped whole.
    static constexpr unsigned kMaxFrame = 4200;

    // Bytes an escaped frame of len bytes may need.
    static constexpr unsigned escaped_size(unsigned len) { return 2 * len + kStartCount + 1; }

    // Escapes len bytes of in into out (start bytes, escaped frame, end byte) and returns
    // the escaped length. out must hold escaped_size(len) bytes; scratch is not used.
    unsigned int data_re_transf_meaning(unsigned char* out, const unsigned char* in,
                                        unsigned int len, unsigned char* scratch = nullptr);

    // Feeds received bytes to the decoder; every complete frame is handed to
    // on_frame(u8* frame, unsigned length) (its bytes stay valid during the call).
    template <class OnFrame>
    void receive(const u8* data, size_t n, OnFrame on_frame) {
        for (size_t i = 0; i < n; ++i) {
            if (take(data[i]))
                on_frame(frame_, length_);
        }
    }
    // Forgets a partly received frame (a new datagram or connection starts afresh).
    void reset();

    // Frames dropped so far: too long, a bad escape, or cut by a new start.
    unsigned long dropped() const { return dropped_; }

private:
    enum class State { Hunt, Body, Discard };

    // One byte; true when it completed a frame (then in frame_/length_).
    bool take(u8 byte);
    void drop();

    State state_ = State::Hunt;
    unsigned starts_ = 0;
    bool escaped_ = false;
    unsigned length_ = 0;
    unsigned long dropped_ = 0;
    u8 frame_[kMaxFrame];
};
