// The reply frame the protocol handler builds (private to the handler's sources).
#pragma once

#include <cstring>

#include "core/utils.h"
#include "remote/message_deal.h"
#include "remote/phydata.h"

// A reply under construction: the request's header with the address words swapped, the
// status byte, then the reply data; finish() appends the check byte.
class message_deal::Reply {
public:
    Reply(const u8* request, u8* out) : out_(out) {
        memcpy(out_, request, PhyData_Type::kPayload);
        put_u16(out_ + PhyData_Type::kDestination, get_u16(request + PhyData_Type::kSource));
        put_u16(out_ + PhyData_Type::kSource, get_u16(request + PhyData_Type::kDestination));
        out_[PhyData_Type::kStatus] = PhyData_Type::kStatusOk;
        length_ = PhyData_Type::kStatus + 1;
    }
    void fail() { out_[PhyData_Type::kStatus] = PhyData_Type::kStatusError; }
    void ok(bool done) {
        if (!done)
            fail();
    }
    // Echoes the n bytes that follow the command byte of a request of length bytes (check
    // byte included) when the request holds them all; a shorter request echoes nothing.
    // Memory, register and file-data replies echo their request's header this way, a
    // refusal as much as a success, so that a PC can tell which request a reply answers.
    void echo(const u8* request, unsigned length, unsigned n) {
        if (length >= PhyData_Type::kPayload + n + 1)
            append(request + PhyData_Type::kPayload, n);
    }
    void append(const u8* data, unsigned n) {
        memcpy(out_ + length_, data, n);
        length_ += n;
    }
    // Room for n more data bytes, written by the caller; dropped again by discard().
    u8* extend(unsigned n) {
        u8* p = out_ + length_;
        length_ += n;
        return p;
    }
    void discard(unsigned n) { length_ -= n; }
    unsigned finish() {
        out_[length_] = Utils::BCC(out_, length_);
        return length_ + 1;
    }

private:
    u8* out_;
    unsigned length_;
};
