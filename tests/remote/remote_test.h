// Fixture and frame helpers of the remote-control tests: a fresh board with the parameter
// and settings stores loaded, and frames built byte by byte as a PC tool builds them (the
// helpers do not use the program's own framing code).
#pragma once

#include <QThread>
#include <memory>
#include <vector>

#include "board/sim/sim.h"
#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "tests/support/sim_test.h"
#include "video/c331_manage.h"

namespace remotetest {

using Bytes = std::vector<unsigned char>;

inline void put16(Bytes& b, unsigned v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void put32(Bytes& b, unsigned v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline unsigned get16(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8);
}
inline unsigned char xorOf(const Bytes& b, size_t n) {
    unsigned char x = 0;
    for (size_t i = 0; i < n; ++i)
        x ^= b[i];
    return x;
}

// An unescaped frame: header with the PC's address 0xF010 as source, the payload and the
// check byte.
inline Bytes frame(unsigned destination, unsigned char command, const Bytes& payload = {}) {
    Bytes f;
    put16(f, destination);
    put16(f, 0xF010);
    Bytes rest = {0x10, 0x67, 0x01, 0x00, 0x00, command};
    f.insert(f.end(), rest.begin(), rest.end());
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(xorOf(f, f.size()));
    return f;
}

// The payload of a RAM or register request: address, count, extra word, data.
inline Bytes mem(unsigned address, unsigned count, const Bytes& data = {}, unsigned extra = 0) {
    Bytes p;
    put32(p, address);
    put16(p, count);
    put16(p, extra);
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// Escaping as the protocol page describes it, written out independently.
inline Bytes escape(const Bytes& f) {
    Bytes out = {0xA5, 0xA5, 0xA5};
    for (unsigned char c : f) {
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

// Every frame found in a received byte stream, unescaped.
inline std::vector<Bytes> unescapeAll(const Bytes& stream) {
    std::vector<Bytes> frames;
    Bytes cur;
    bool in = false, esc = false;
    for (unsigned char c : stream) {
        if (c == 0xA5) {
            in = true;
            cur.clear();
            esc = false;
        } else if (in && c == 0x5A) {
            if (!cur.empty())
                frames.push_back(cur);
            in = false;
        } else if (in && c == 0xAA) {
            esc = true;
        } else if (in) {
            cur.push_back(esc ? (c == 1 ? 0xA5 : c == 2 ? 0x5A : 0xAA) : c);
            esc = false;
        }
    }
    return frames;
}

// What a PC checks on every reply: addresses swapped, check byte good. Returns the status.
inline int replyStatus(const Bytes& request, const Bytes& reply) {
    if (reply.size() < 12 || xorOf(reply, reply.size() - 1) != reply.back())
        return -1;
    if (get16(reply, 0) != get16(request, 2) || get16(reply, 2) != get16(request, 0))
        return -2;
    if (reply[9] != request[9])
        return -3;
    return reply[10];
}

class RemoteTest : public test::SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        sim::setSleepDivisor(10000);
        G_timeTicks = 0;
        pc_cmd_valid = 0;
        g_usb_grade = 0;
        g_lcd_lang_valid = 0x1001F;
        c331_manage::para_update = 0;
        ConfigEngine::pInstance();
        store_ = std::make_unique<KrxRamPara>();
        store_->load();
        KrxRamPara::p_krxrampara_config = store_.get();
    }
    void TearDown() override {
        KrxRamPara::p_krxrampara_config = nullptr;
        store_.reset();
        delete ConfigEngine::p_config;
        ConfigEngine::p_config = nullptr;
        SimTest::TearDown();
    }
    KrxRamPara& store() { return *store_; }

private:
    std::unique_ptr<KrxRamPara> store_;
};

}  // namespace remotetest
