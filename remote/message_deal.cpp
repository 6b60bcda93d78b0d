#include "remote/message_deal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/config_engine.h"
#include "core/global.h"
#include "core/krxrampara.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "inputs/velmosource.h"
#include "remote/card_passby.h"
#include "remote/message_deal_reply.h"
#include "remote/net_settings.h"
#include "remote/phydata.h"
#include "remote/processor_areas.h"
#include "video/c331_manage.h"

namespace {

// Requests that address memory or registers: u32 address, u16 count, u16 extra, then (for
// writes) count data bytes, as in the receiving cards' RAM packets. Their replies echo the
// 8 header bytes whenever the request holds them, refusals included.
constexpr unsigned kAccessHeader = 8;
constexpr unsigned kAccessData = PhyData_Type::kPayload + kAccessHeader;
constexpr unsigned kAccessRequest = kAccessData + 1;  // a read: header and check byte

struct Access {
    u32 address;
    u16 count;
    u16 extra;
    const u8* data;
};

// A write request whose count matches the frame exactly, or a read request with no data;
// anything else is a malformed frame and touches nothing.
bool parse_access(const u8* frame, unsigned length, bool with_data, Access* a) {
    if (length < kAccessRequest)
        return false;
    a->address = get_u32(frame + PhyData_Type::kPayload);
    a->count = get_u16(frame + PhyData_Type::kPayload + 4);
    a->extra = get_u16(frame + PhyData_Type::kPayload + 6);
    a->data = frame + kAccessData;
    if (a->count > message_deal::kMaxData)
        return false;
    unsigned expected = kAccessRequest + (with_data ? a->count : 0);
    return length == expected;
}

void raise_apply(u8 request) {
    if (request > c331_manage::para_update)
        c331_manage::para_update = request;
}

// The dot-by-dot switch of every window, as the other-settings screen sets it.
void set_dot_by_dot(RamParaImage& image, u8 on) {
    image[para::dbd_enable] = on;
    for (int w = 0; w < para::window_count; ++w)
        image[para::window_at(w) + para::win_output + 1] = on;
}

// Stores one processor register and starts what it asks for; the caller holds the apply
// lock. Returns the apply request the register needs (0 none).
u8 store_self_register(KrxRamPara* store, u32 r, u8 v) {
    u8* reg = store->reg_para;
    reg[r] = v;
    switch (r) {
        case 0:  // hot-plug commands of the HDMI 2.0 input, served by the input-source thread
            velmosource::wake();
            return 0;
        case 11:  // apply the image as the PC has written it
            return 1;
        case 16:  // the PC has written user-mode slots: check their files
            return 2;
        case 0xA0:  // receiver commands, served by the input-source thread
            reg[0x20] = v;
            velmosource::wake();
            return 0;
        case 0xA1:
            if ((v & 1) == (store->ram_para[para::dbd_enable] & 1))
                return 0;
            set_dot_by_dot(store->ram_para, v & 1);
            return 1;
        case 0xA2:
            reg[0x22] = v;
            return 1;
        case 0xA3:
            reg[0x23] = static_cast<u8>(v + 1);
            return 1;
        case 0xA4:
            reg[0x24] = v;
            return 1;
        case 0xA5:
            reg[0x21] = v;
            return 1;
        case 0xA6:  // one reset pulse of the SDI receiver, given by the input-source thread
            if (v && velmosource::p_velmo_source) {
                velmosource::p_velmo_source->sdi_reset_request = 1;
                velmosource::wake();
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace

message_deal::message_deal(RemoteTransport transport) : transport_(transport) {}

unsigned message_deal::message_group_deal(u8* frame, unsigned length, u8* reply) {
    if (length < PhyData_Type::kMinSize || length > protocol_phy::kMaxFrame ||
        Utils::BCC(frame, length - 1) != frame[length - 1]) {
        ++rejected_;
        return 0;
    }
    pc_cmd_time = G_timeTicks.load();
    pc_cmd_valid = 1;

    u16 destination = get_u16(frame + PhyData_Type::kDestination);
    if (PhyData_Type::is_card_address(destination)) {
        if (card_passby(static_cast<u8>(transport_), passby_peer_, frame, length))
            return 0;
        // The pass-through may have set the destination's port bits before it found that
        // the frame could not go out: the refusal answers the request as the PC sent it.
        put_u16(frame + PhyData_Type::kDestination, destination);
    }
    Reply r(frame, reply);
    if (PhyData_Type::is_processor(destination))
        processor_command(frame, length, r);
    else
        r.fail();
    return r.finish();
}

void message_deal::processor_command(const u8* frame, unsigned length, Reply& r) {
    switch (frame[PhyData_Type::kCommand]) {
        case kRamWrite:
            return ram_write(frame, length, r);
        case kRamRead:
            return ram_read(frame, length, r);
        case kRegWrite:
            return register_write(frame, length, r);
        case kRegRead:
            return register_read(frame, length, r);
        case kSave:
            return parameter_save(length, r);
        case kNetWrite:
            return network_write(frame, length, r);
        case kNetRead:
            return network_read(length, r);
        case kFileStart:
            return file_start(frame, length, r);
        case kFileData:
            return file_data(frame, length, r);
        case kFileEnd:
            return file_end(length, r);
        case kFileDelete:
            return file_delete(frame, length, r);
        default:
            r.fail();
    }
}

void message_deal::ram_write(const u8* frame, unsigned length, Reply& r) {
    r.echo(frame, length, kAccessHeader);
    Access a;
    if (!parse_access(frame, length, true, &a))
        return r.fail();
    r.ok(processor_map::write(a.address, a.data, a.count));
}

void message_deal::ram_read(const u8* frame, unsigned length, Reply& r) {
    r.echo(frame, length, kAccessHeader);
    Access a;
    if (!parse_access(frame, length, false, &a))
        return r.fail();
    u8* out = r.extend(a.count);
    if (!processor_map::read(a.address, a.count, out)) {
        r.discard(a.count);
        r.fail();
    }
}

void message_deal::register_write(const u8* frame, unsigned length, Reply& r) {
    r.echo(frame, length, kAccessHeader);
    Access a;
    if (!parse_access(frame, length, true, &a))
        return r.fail();
    r.ok(write_registers(a.address, a.data, a.count, a.extra));
}

void message_deal::register_read(const u8* frame, unsigned length, Reply& r) {
    r.echo(frame, length, kAccessHeader);
    Access a;
    if (!parse_access(frame, length, false, &a))
        return r.fail();
    u8* out = r.extend(a.count);
    if (!read_registers(a.address, a.count, out)) {
        r.discard(a.count);
        r.fail();
    }
}

bool message_deal::write_self_registers(u32 first, const u8* values, u16 count) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || first >= kSelfWritable || count > kSelfWritable - first)
        return false;
    // The request bytes and the apply request go together, so that the video-processor
    // thread never sees one without the other.
    ParaLock lock;
    u8 request = 0;
    for (u16 i = 0; i < count; ++i)
        request = std::max(request, store_self_register(store, first + i, values[i]));
    raise_apply(request);
    return true;
}

namespace {

// FPGA f's register r, for a register number of the FPGA range; false for anything else.
bool fpga_register(u32 number, u8* f, u8* r) {
    u32 fpga = (number - message_deal::kFpgaRegisters) >> 8;
    u32 reg = number & 0xFF;
    if (number < message_deal::kFpgaRegisters || fpga >= fpga_manage::kFpgaCount ||
        reg >= message_deal::kFpgaRegisterCount)
        return false;
    *f = static_cast<u8>(fpga);
    *r = static_cast<u8>(reg);
    return true;
}

// The controller's registers that exist: those in the FPGA and those kept only in the
// manager's shadow (97..127 do not exist).
bool controller_register(u8 r) {
    return r <= 96 || r >= 128;
}

// Registers first .. first + count - 1 of one FPGA, all existing.
bool fpga_range(u32 first, u16 count, u8* f, u8* r) {
    if (!fpga_register(first, f, r))
        return false;
    u8 last_f, last_r;
    if (count == 0)
        return true;
    if (!fpga_register(first + count - 1, &last_f, &last_r) || last_f != *f)
        return false;
    for (u32 i = *r; i <= last_r; ++i) {
        if (!controller_register(static_cast<u8>(i)))
            return false;
    }
    return true;
}

}  // namespace

bool message_deal::read_registers(u32 first, u16 count, u8* out) {
    if (first < kFpgaRegisters)
        return read_self_registers(first, count, out);
    fpga_manage* m = fpga_manage::p_fpga_manage;
    u8 f, r;
    if (!m || !fpga_range(first, count, &f, &r))
        return false;
    for (u16 i = 0; i < count; ++i) {
        if (m->controller_register_read(f, static_cast<u8>(r + i), out + i) != 1)
            return false;
    }
    return true;
}

bool message_deal::write_registers(u32 first, const u8* values, u16 count, u16 mask) {
    if (first < kFpgaRegisters)
        return write_self_registers(first, values, count);
    fpga_manage* m = fpga_manage::p_fpga_manage;
    u8 f, r;
    if (!m || !fpga_range(first, count, &f, &r) || !m->fpga_driven(f))
        return false;
    // The extra word of the request is the write mask; 0 writes every bit. A write the
    // controller refuses refuses the frame: with the first register, nothing was written.
    u8 bits = mask ? static_cast<u8>(mask) : 0xFF;
    for (u16 i = 0; i < count; ++i) {
        if (m->controller_register_write(f, static_cast<u8>(r + i), bits, values[i]) != 1)
            return false;
    }
    return true;
}

bool message_deal::read_self_registers(u32 first, u16 count, u8* out) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store || first >= kSelfRegisters || count > kSelfRegisters - first)
        return false;
    ParaLock lock;
    memcpy(out, store->reg_para + first, count);
    return true;
}

namespace {

// The LED size the PC gave the FPGA (screen width and height of its parameter RAM) becomes
// the image's, when it is a size the device can drive. False for a size it cannot.
bool adopt_led_size(fpga_manage* m, RamParaImage& image) {
    u16 w = 0, h = 0;
    m->get_eth_lcd_w_h(0, &w, &h);
    if (w == 0 || h == 0 ||
        (w == image.u16At(para::led_width) && h == image.u16At(para::led_height)))
        return true;
    if (static_cast<u32>(w) * h > g_krx_max_pixel)
        return false;
    image.setU16(para::led_width, w);
    image.setU16(para::led_height, h);
    return true;
}

}  // namespace

void message_deal::parameter_save(unsigned, Reply& r) {
    KrxRamPara* store = KrxRamPara::p_krxrampara_config;
    if (!store)
        return r.fail();
    fpga_manage* m = fpga_manage::p_fpga_manage;
    bool done = !m || m->store_para_ram() == 1;
    // Saving goes through the apply request: the video-processor thread applies whatever
    // the PC wrote and then has the synchroniser store the image. Saving without applying
    // would make the shadow equal to the image and so hide the PC's edits from the chips.
    ParaLock lock;
    done = (!m || adopt_led_size(m, store->ram_para)) && done;
    raise_apply(1);
    r.ok(done);
}

void message_deal::network_write(const u8* frame, unsigned length, Reply& r) {
    if (length != PhyData_Type::kMinSize + NetSettings::kSize)
        return r.fail();
    NetSettings s = NetSettings::decode(frame + PhyData_Type::kPayload);
    if (!s.valid() || !ConfigEngine::p_config) {
        if (debugOn())
            printf("\n network settings refused\n");
        return r.fail();
    }
    s.store(ConfigEngine::p_config);
    network_changed_ = true;
}

void message_deal::network_read(unsigned, Reply& r) {
    if (!ConfigEngine::p_config)
        return r.fail();
    NetSettings::load(ConfigEngine::p_config).encode(r.extend(NetSettings::kSize));
}

void message_deal::after_reply() {
    if (!network_changed_)
        return;
    network_changed_ = false;
    Utils::initIPAddress();
}
