#include "remote/protocol_phy.h"

namespace {

// The second byte of an escape pair for each byte that must not appear in a frame.
u8 escape_code(u8 byte) {
    switch (byte) {
        case protocol_phy::kStart:
            return 0x01;
        case protocol_phy::kEnd:
            return 0x02;
        case protocol_phy::kEscape:
            return 0x03;
        default:
            return 0;
    }
}

// The byte an escape pair stands for; false for a code no sender produces.
bool unescape(u8 code, u8* byte) {
    static constexpr u8 kBytes[] = {protocol_phy::kStart, protocol_phy::kEnd,
                                    protocol_phy::kEscape};
    if (code < 1 || code > 3)
        return false;
    *byte = kBytes[code - 1];
    return true;
}

}  // namespace

unsigned int protocol_phy::data_re_transf_meaning(unsigned char* out, const unsigned char* in,
                                                  unsigned int len, unsigned char*) {
    unsigned n = 0;
    for (unsigned i = 0; i < kStartCount; ++i)
        out[n++] = kStart;
    for (unsigned i = 0; i < len; ++i) {
        u8 code = escape_code(in[i]);
        if (code) {
            out[n++] = kEscape;
            out[n++] = code;
        } else {
            out[n++] = in[i];
        }
    }
    out[n++] = kEnd;
    return n;
}

void protocol_phy::reset() {
    state_ = State::Hunt;
    starts_ = 0;
    escaped_ = false;
    length_ = 0;
}

void protocol_phy::drop() {
    ++dropped_;
    state_ = State::Discard;
    escaped_ = false;
}

bool protocol_phy::take(u8 byte) {
    if (byte == kStart) {
        // A start byte never belongs to a frame: whatever was being received is cut off.
        if (state_ == State::Body && (length_ > 0 || escaped_))
            ++dropped_;
        ++starts_;
        escaped_ = false;
        length_ = 0;
        state_ = starts_ >= kStartCount ? State::Body : State::Hunt;
        return false;
    }
    starts_ = 0;
    if (state_ != State::Body) {
        if (byte == kEnd)
            state_ = State::Hunt;
        return false;
    }
    if (byte == kEnd) {
        bool complete = length_ > 0 && !escaped_;
        if (escaped_)
            ++dropped_;
        state_ = State::Hunt;
        escaped_ = false;
        return complete;
    }
    if (byte == kEscape && !escaped_) {
        escaped_ = true;
        return false;
    }
    if (escaped_) {
        escaped_ = false;
        if (!unescape(byte, &byte)) {
            drop();
            return false;
        }
    }
    if (length_ == kMaxFrame) {
        drop();
        return false;
    }
    frame_[length_++] = byte;
    return false;
}
