// Every packet the device builds for the receiving cards, byte for byte as the packet
// table gives it, with its check byte worked out by hand; and the card positions of the
// sixteen routing patterns.
#include <gtest/gtest.h>

#include "tests/fpga/card_fixture.h"

namespace fpgatest {
namespace {

class Packets : public CardTest {
protected:
    Bytes built(u16 length) { return Bytes(buf, buf + length); }
    u8 buf[1100] = {};
};

void grid(u16 w, u16 h, u16 hOffset, u16 vOffset, u8 port, u8 rows, u8 columns, u8 route) {
    line_type.box_width = w;
    line_type.box_height = h;
    line_type.h_offset = hOffset;
    line_type.v_offset = vOffset;
    line_type.net_port = port;
    line_type.box_rows = rows;
    line_type.box_columns = columns;
    line_type.route_way = route;
}

TEST_F(Packets, PositionPacket) {
    // Card 4 of port 2 on a 2 x 3 grid walked row by row from the top left: second row,
    // second column.
    grid(64, 32, 10, 20, 2, 2, 3, 10);
    g_send_para.card_index = 4;
    g_send_para.packet_len = 0x7777;
    ASSERT_EQ(manager->rcv_card_cmd_create(buf, 2), 23);
    EXPECT_EQ(built(23),
              (Bytes{0x04, 0x20, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0x60, 0x80, 0x01,
                     0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x4A, 0x00, 0x34, 0x00, 0x3A}));
    EXPECT_EQ(g_send_para.packet_len, 0x7777) << "the position packet's length is not stored";
}

TEST_F(Packets, SearchPacket) {
    ASSERT_TRUE(bringUp());
    run(2);  // the search's own answers
    fpga()->clearLog();
    forgetSent();
    manager->check_error_rcv_search_card_cmd(3, 0, 0x11223344, 0, 1);
    auto sent = ports()->sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].port, 3);
    EXPECT_EQ(sent[0].frame, (Bytes{0xFE, 0x3F, 0x00, 0xF0, 0x10, 0xAA, 0xFF, 0x04, 0x00, 0x10,
                                    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x44, 0x33, 0x22,
                                    0x11, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xDA}));
    // The pair's bit of register 131 is cleared before the packet goes out.
    auto writes = regWrites();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front(), (RegWrite{131, 0x02, 0x00}));
    EXPECT_EQ(boardErrors(), "");
}

TEST_F(Packets, LoadAndCardPackets) {
    const u8 data[] = {0xAA, 0xBB, 0xCC};
    EXPECT_EQ(manager->load_write_ram_cmd_create(1, 2, 0x12345678, data, 3, buf, false), 22);
    EXPECT_EQ(built(22), (Bytes{0x02, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60, 0x78,
                                0x56, 0x34, 0x12, 0x03, 0x00, 0x00, 0x00, 0xAA, 0xBB, 0xCC, 0x20}));
    EXPECT_EQ(g_send_para.packet_len, 22);
    EXPECT_EQ(manager->load_write_ram_cmd_create(1, 2, 0x12345678, data, 3, buf, true), 22);
    EXPECT_EQ(built(22), (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0x60, 0x78,
                                0x56, 0x34, 0x12, 0x03, 0x00, 0x00, 0x00, 0xAA, 0xBB, 0xCC, 0xC2}));

    // Port 4 carries the port bits of port 0.
    EXPECT_EQ(manager->rcv_active_firmware_cmd_create(4, 1, data + 1, 0, buf), 11);
    EXPECT_EQ(built(11), (Bytes{0x01, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x05, 0x00, 0xB4, 0x36}));
    const u8 firmware[] = {0x01, 0x02};
    EXPECT_EQ(manager->rcv_active_firmware_cmd_create(4, 1, firmware, 2, buf), 13);
    EXPECT_EQ(built(13), (Bytes{0x01, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x05, 0x00, 0xB4, 0x01,
                                0x02, 0x35}));
    EXPECT_EQ(g_send_para.packet_len, 13);

    const u8 reg[] = {0x05, 0x06, 0x07};
    EXPECT_EQ(manager->load_write_reg_cmd_create(3, 7, reg, 3, buf, false), 14);
    EXPECT_EQ(built(14), (Bytes{0x07, 0x30, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0xA0, 0x05,
                                0x06, 0x07, 0x15}));

    const u8 own[] = {0x55, 0x66};  // the data bring their opcode
    EXPECT_EQ(manager->load_write_user_defined_cmd_create(2, 1, own, 2, buf, true), 12);
    EXPECT_EQ(built(12),
              (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x55, 0x66, 0x45}));
    EXPECT_EQ(g_send_para.packet_len, 12);

    const u8 reconfig[] = {0x10};
    EXPECT_EQ(manager->rcv_reconfig_cmd_create(0, 9, reconfig, 1, buf), 12);
    EXPECT_EQ(built(12),
              (Bytes{0x09, 0x00, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x01, 0x00, 0x84, 0x10, 0x1A}));

    const u8 rxc[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(manager->load_search_rxc_cmd_create(6, rxc, 3, buf), 14);
    EXPECT_EQ(built(14), (Bytes{0xFE, 0x2F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x07, 0x00, 0x10, 0x01,
                                0x02, 0x03, 0x40}));

    EXPECT_EQ(manager->save_para2flash_cmd_create(1, 3, buf, false), 13);
    EXPECT_EQ(built(13), (Bytes{0x03, 0x10, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x00, 0x00, 0x81, 0xFF,
                                0x00, 0xEB}));
    EXPECT_EQ(g_send_para.packet_len, 13);
}

TEST_F(Packets, SaveResetAndMappingPackets) {
    EXPECT_EQ(manager->save_para_cmd_create(buf, 5), 13);
    EXPECT_EQ(built(13), (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x06, 0x00, 0x81, 0xFF,
                                0x00, 0x0E}));

    const SCAN_PARA op{0x123456AB, 0xBEEF};
    EXPECT_EQ(manager->ram_reset_cmd_create(buf, &op, 1), 15);
    EXPECT_EQ(built(15), (Bytes{0xFE, 0x1F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x02, 0x00, 0xA0, 0xAB,
                                0xEF, 0x01, 0xBE, 0x3E}));
    EXPECT_EQ(g_send_para.packet_len, 15);

    g_send_para.mapping_value = 9;
    EXPECT_EQ(manager->mapping_enable_cmd_create(2, buf), 15);
    EXPECT_EQ(built(15), (Bytes{0xFF, 0x0F, 0x00, 0xF0, 0x10, 0x67, 0x01, 0x03, 0x00, 0xA0, 0x03,
                                0x0F, 0x01, 0x09, 0xD1}));
}

TEST_F(Packets, PacketsBeyondTheTransmitRamAreNotBuilt) {
    g_send_para.packet_len = 0x7777;
    std::vector<u8> data(1006, 0x11);
    EXPECT_EQ(manager->load_write_ram_cmd_create(0, 0, 0, data.data(), 1006, buf, false), 0);
    EXPECT_EQ(manager->load_write_reg_cmd_create(0, 0, data.data(), 1014, buf, false), 0);
    EXPECT_EQ(g_send_para.packet_len, 0x7777);
    // 1005 data bytes make 1024: the largest frame a port takes.
    EXPECT_EQ(manager->load_write_ram_cmd_create(0, 0, 0, data.data(), 1005, buf, false), 1024);
}

// Card i (0-based in chain order) of a 2-row, 3-column grid of 100 x 10 cabinets.
struct Position {
    u16 x, y;
    bool operator==(const Position& o) const { return x == o.x && y == o.y; }
};
constexpr Position kGrid[16][6] = {
    {{200, 10}, {100, 10}, {0, 10}, {0, 0}, {100, 0}, {200, 0}},  // 1
    {{0, 10}, {100, 10}, {200, 10}, {200, 0}, {100, 0}, {0, 0}},  // 2
    {{200, 0}, {100, 0}, {0, 0}, {0, 10}, {100, 10}, {200, 10}},  // 3
    {{0, 0}, {100, 0}, {200, 0}, {200, 10}, {100, 10}, {0, 10}},  // 4
    {{200, 10}, {200, 0}, {100, 0}, {100, 10}, {0, 10}, {0, 0}},  // 5
    {{200, 0}, {200, 10}, {100, 10}, {100, 0}, {0, 0}, {0, 10}},  // 6
    {{0, 0}, {0, 10}, {100, 10}, {100, 0}, {200, 0}, {200, 10}},  // 7
    {{0, 10}, {0, 0}, {100, 0}, {100, 10}, {200, 10}, {200, 0}},  // 8
    {{200, 10}, {100, 10}, {0, 10}, {200, 0}, {100, 0}, {0, 0}},  // 9
    {{0, 0}, {100, 0}, {200, 0}, {0, 10}, {100, 10}, {200, 10}},  // 10
    {{0, 10}, {100, 10}, {200, 10}, {0, 0}, {100, 0}, {200, 0}},  // 11
    {{0, 10}, {0, 0}, {100, 10}, {100, 0}, {200, 10}, {200, 0}},  // 12
    {{200, 10}, {200, 0}, {100, 10}, {100, 0}, {0, 10}, {0, 0}},  // 13
    {{0, 0}, {0, 10}, {100, 0}, {100, 10}, {200, 0}, {200, 10}},  // 14
    {{0, 10}, {0, 0}, {100, 10}, {100, 0}, {200, 10}, {200, 0}},  // 15
    {{200, 0}, {200, 10}, {100, 0}, {100, 10}, {0, 0}, {0, 10}},  // 16
};

TEST_F(Packets, PlacementLeavesPositionsAloneOutsideTheGrid) {
    for (u8 route : {0, 17}) {
        grid(100, 10, 0, 0, 0, 2, 3, route);
        unsigned short x = 0xAAAA, y = 0xBBBB;
        manager->get_rcvcard_x_y(0, &x, &y);
        EXPECT_EQ(x, 0xAAAA);
        EXPECT_EQ(y, 0xBBBB);
    }
    grid(100, 10, 0, 0, 0, 0, 3, 1);
    unsigned short x = 0xAAAA, y = 0xBBBB;
    manager->get_rcvcard_x_y(0, &x, &y);
    EXPECT_EQ(x, 0xAAAA);
    grid(100, 10, 0, 0, 0, 2, 3, 1);
    manager->get_rcvcard_x_y(6, &x, &y);
    EXPECT_EQ(y, 0xBBBB) << "index beyond the 6 cabinets";
    manager->get_rcvcard_x_y(5, &x, &y);
    EXPECT_EQ((Position{x, y}), (Position{200, 0}));
}

// The smart-mapping job on a chain of six cards, for every routing pattern: each card's
// position is what its position packet carried (RAM 0x180: u16 x, u16 y).
TEST_F(Packets, EveryRoutingPatternPutsEachCardInItsCabinet) {
    plug({{1, 6}});
    bringUpAndSearch();
    ASSERT_EQ(manager->get_port_card_num(1), 6);
    for (u8 route = 1; route <= 16; ++route) {
        grid(100, 10, 5, 7, 1, 2, 3, route);
        ASSERT_TRUE(runJob(SEND_PARA_JOB_SMART_MAPPING)) << "pattern " << int(route);
        for (int i = 0; i < 6; ++i) {
            const sim::ReceivingCard taken = card(1, i);
            Position got{0xFFFF, 0xFFFF};
            for (const Bytes& f : taken.frames())
                if (f[9] == 0x60 && f[10] == 0x80 && f[11] == 0x01)
                    got = {static_cast<u16>(f[18] | f[19] << 8),
                           static_cast<u16>(f[20] | f[21] << 8)};
            const Position want{static_cast<u16>(kGrid[route - 1][i].x + 5),
                                static_cast<u16>(kGrid[route - 1][i].y + 7)};
            EXPECT_EQ(got, want) << "pattern " << int(route) << ", card " << i;
            EXPECT_EQ(card(1, i).ram(0x180, 4),
                      (Bytes{static_cast<u8>(want.x), static_cast<u8>(want.x >> 8),
                             static_cast<u8>(want.y), static_cast<u8>(want.y >> 8)}));
        }
    }
    EXPECT_EQ(boardErrors(), "");
}

}  // namespace
}  // namespace fpgatest
