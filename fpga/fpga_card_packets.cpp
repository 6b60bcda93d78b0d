// The packets the device sends to the LED receiving cards: one builder per packet, each
// writing a whole RCV_CARD_CMD frame with its check byte into the caller's buffer.
#include <cstdio>
#include <cstring>

#include "core/global.h"
#include "core/le.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"
#include "fpga/send_para.h"

namespace {

using Cmd = RCV_CARD_CMD;

// The smart-mapping packet writes the card's position into its RAM here.
constexpr u32 kPositionAddress = 0x180;
constexpr u16 kPositionBytes = 4;
constexpr u16 kPositionPacket = 23;

// Payload of the save packets.
constexpr u8 kSaveAll = 0xFF;
// Register payload of the mapping switch: 03 0F 01 value.
constexpr u8 kMappingRegister[3] = {0x03, 0x0F, 0x01};

u8 selector(u8 port) {
    return static_cast<u8>(port + 1);
}

u16 destination(u8 port, u16 card, bool all) {
    return all ? Cmd::kAllCards : Cmd::address(port, card);
}

// Bytes 2..6 and 8 are the same in every packet built here: 00 F0 10 67 01, 00.
void header(u8* buf, u16 destination, u8 port_selector, u8 opcode) {
    put_u16(buf + Cmd::kDestination, destination);
    put_u16(buf + Cmd::kSource, Cmd::kDevice);
    buf[Cmd::kConstant] = 0x10;
    buf[Cmd::kKind] = Cmd::kSetupKind;
    buf[Cmd::kRouting] = 0x01;
    buf[Cmd::kPortSelector] = port_selector;
    buf[Cmd::kReserved] = 0x00;
    buf[Cmd::kOpcode] = opcode;
}

// The check byte closes a packet of n bytes.
u16 close(u8* buf, u16 n) {
    buf[n - 1] = Utils::BCC(buf, n - 1u);
    return n;
}

u16 close_and_store(u8* buf, u16 n) {
    g_send_para.packet_len = close(buf, n);
    return n;
}

// A packet of `fixed` bytes around `len` data bytes fits the transmit RAM, and its data
// are there to copy.
bool fits(const u8* buf, const u8* data, unsigned len, unsigned fixed) {
    return buf && (data || len == 0) && len + fixed <= Cmd::kMaxSize;
}

// The stored packets of Send_rcv_card_cmd, by mode: the card search, and the brightness
// packets (kind "f"): RAM write of 0xFF at 0x80, register write 01 08 00 08, save 09 00.
// Byte 1 gets the port bits and the last byte the check byte when one is sent.
constexpr u8 SEARCH_CARD_BUF[] = {0xFE, 0x0F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x00,
                                  0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00};
constexpr u8 SEND_BRI_ETH_CMD[] = {0xFE, 0x0F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00, 0x00, 0x60,
                                   0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x00};
constexpr u8 SEND_BRI_ETH_REG[] = {0xFE, 0x0F, 0x00, 0xF0, 0x10, 0x66, 0x01, 0x00,
                                   0x00, 0xA0, 0x01, 0x08, 0x00, 0x08, 0x00};
constexpr u8 SEND_BRI_SAVE_CMD[] = {0xFE, 0x0F, 0x00, 0xF0, 0x10, 0x66, 0x01,
                                    0x00, 0x00, 0x81, 0x09, 0x00, 0x00};
constexpr struct {
    const u8* bytes;
    u16 size;
} kStoredPackets[] = {
    {SEARCH_CARD_BUF, sizeof SEARCH_CARD_BUF},
    {SEND_BRI_ETH_CMD, sizeof SEND_BRI_ETH_CMD},
    {SEND_BRI_ETH_REG, sizeof SEND_BRI_ETH_REG},
    {SEND_BRI_SAVE_CMD, sizeof SEND_BRI_SAVE_CMD},
};
constexpr unsigned kStoredPacketMax = sizeof SEND_BRI_ETH_CMD;

}  // namespace

int fpga_manage::Send_rcv_card_cmd(unsigned char port, unsigned char mode, unsigned char fpga) {
    if (mode >= sizeof kStoredPackets / sizeof kStoredPackets[0])
        return 0;
    const auto& stored = kStoredPackets[mode];
    u8 packet[kStoredPacketMax];
    std::memcpy(packet, stored.bytes, stored.size);
    packet[1] = static_cast<u8>((packet[1] & 0xCF) | (port & 3) << 4);
    // The stored check bytes are blank: a card refuses a packet without its check byte.
    close(packet, stored.size);
    return Send_to_port(packet, stored.size, port, fpga);
}

u16 fpga_manage::rcv_card_cmd_create(unsigned char* buf, unsigned char port) {
    if (!buf)
        return 0;
    const u16 index = g_send_para.card_index;
    // A card beyond the wizard's grid has no position: it gets the offsets alone.
    unsigned short x = 0, y = 0;
    get_rcvcard_x_y(index, &x, &y);
    if (debugOn())
        std::printf("\n rcv_card_cmd_create ,index = %d,x=%d,y=%d\n", index, x, y);
    header(buf, Cmd::address(port, index), selector(port), RCV_CARD_WRITE_RAM);
    put_u32(buf + 10, kPositionAddress);
    put_u16(buf + 14, kPositionBytes);
    put_u16(buf + 16, 0);
    put_u16(buf + 18, static_cast<u16>(x + line_type.h_offset));
    put_u16(buf + 20, static_cast<u16>(y + line_type.v_offset));
    return close(buf, kPositionPacket);
}

u16 fpga_manage::load_write_ram_cmd_create(unsigned char port, unsigned short card,
                                           unsigned int address, const unsigned char* data,
                                           unsigned short len, unsigned char* buf, bool all) {
    if (!fits(buf, data, len, 19))
        return 0;
    header(buf, destination(port, card, all), selector(port), RCV_CARD_WRITE_RAM);
    put_u32(buf + 10, address);
    put_u16(buf + 14, len);
    put_u16(buf + 16, 0);
    if (len)
        std::memcpy(buf + 18, data, len);
    return close_and_store(buf, static_cast<u16>(len + 19));
}

u16 fpga_manage::rcv_active_firmware_cmd_create(unsigned char port, unsigned short card,
                                                const unsigned char* data, unsigned short len,
                                                unsigned char* buf) {
    if (!fits(buf, data, len, 11))
        return 0;
    header(buf, Cmd::address(port, card), selector(port), RCV_CARD_ACTIVE_FIRMWARE);
    if (len)
        std::memcpy(buf + Cmd::kPayload, data, len);
    return close_and_store(buf, static_cast<u16>(len + 11));
}

u16 fpga_manage::ram_reset_cmd_create(unsigned char* buf, const SCAN_PARA* op, unsigned char port) {
    if (!buf || !op)
        return 0;
    header(buf, Cmd::address(port, Cmd::kSearchAddress), selector(port), RCV_CARD_WRITE_REG);
    buf[10] = static_cast<u8>(op->value);
    buf[11] = static_cast<u8>(op->reg);
    buf[12] = 0x01;
    buf[13] = static_cast<u8>(op->reg >> 8);
    return close_and_store(buf, 15);
}

u16 fpga_manage::save_para_cmd_create(unsigned char* buf, unsigned char port) {
    if (!buf)
        return 0;
    header(buf, Cmd::kAllCards, selector(port), RCV_CARD_SAVE);
    buf[10] = kSaveAll;
    buf[11] = 0x00;
    return close_and_store(buf, 13);
}

u16 fpga_manage::load_write_reg_cmd_create(unsigned char port, unsigned short card,
                                           const unsigned char* data, unsigned short len,
                                           unsigned char* buf, bool all) {
    if (!fits(buf, data, len, 11))
        return 0;
    header(buf, destination(port, card, all), 0, RCV_CARD_WRITE_REG);
    if (len)
        std::memcpy(buf + Cmd::kPayload, data, len);
    return close_and_store(buf, static_cast<u16>(len + 11));
}

u16 fpga_manage::load_write_user_defined_cmd_create(unsigned char port, unsigned short card,
                                                    const unsigned char* data, unsigned short len,
                                                    unsigned char* buf, bool all) {
    if (!fits(buf, data, len, 10))
        return 0;
    // The data bring their own opcode: they start at byte 9.
    header(buf, destination(port, card, all), 0, 0);
    if (len)
        std::memcpy(buf + Cmd::kOpcode, data, len);
    return close_and_store(buf, static_cast<u16>(len + 10));
}

u16 fpga_manage::rcv_reconfig_cmd_create(unsigned char port, unsigned short card,
                                         const unsigned char* data, unsigned short len,
                                         unsigned char* buf) {
    if (!fits(buf, data, len, 11))
        return 0;
    header(buf, Cmd::address(port, card), selector(port), RCV_CARD_RECONFIG);
    if (len)
        std::memcpy(buf + Cmd::kPayload, data, len);
    return close_and_store(buf, static_cast<u16>(len + 11));
}

u16 fpga_manage::load_search_rxc_cmd_create(unsigned char port, const unsigned char* data,
                                            unsigned short len, unsigned char* buf) {
    if (!fits(buf, data, len, 11))
        return 0;
    header(buf, Cmd::address(port, Cmd::kSearchAddress), selector(port), RCV_CARD_SEARCH);
    if (len)
        std::memcpy(buf + Cmd::kPayload, data, len);
    return close_and_store(buf, static_cast<u16>(len + 11));
}

u16 fpga_manage::save_para2flash_cmd_create(unsigned char port, unsigned short card,
                                            unsigned char* buf, bool all) {
    if (!buf)
        return 0;
    header(buf, destination(port, card, all), 0, RCV_CARD_SAVE);
    buf[10] = kSaveAll;
    buf[11] = 0x00;
    return close_and_store(buf, 13);
}

u16 fpga_manage::mapping_enable_cmd_create(unsigned char port, unsigned char* buf) {
    if (!buf)
        return 0;
    header(buf, Cmd::kAllCards, selector(port), RCV_CARD_WRITE_REG);
    std::memcpy(buf + 10, kMappingRegister, sizeof kMappingRegister);
    buf[13] = static_cast<u8>(g_send_para.mapping_value.load());
    return close_and_store(buf, 15);
}
