// The FPGA's service line and the receiving cards' answers, and the card search of the
// pass's default job.
//
// Built here is the FPGA side of the service: the event and configuration check of
// register 22 and 31 and the port link states. Reading and dispatching the cards'
// frames (Rcv_data_from_eth) and the card search (Search_Card_Cmd) are not built yet and
// are empty until they land.
#include "board/board.h"
#include "core/global.h"
#include "core/utils.h"
#include "fpga/fpga_manage.h"

namespace {

constexpr u8 kReceiveFlags = 0x55;  // bits 0, 2, 4, 6 of registers 129 and 145
constexpr u8 kEvent = 0x40;         // register 22 bit 6
constexpr u8 kEventBits = 0x60;
constexpr u32 kPcQuietTicks = 80;

}  // namespace

void fpga_manage::reg_IRQ_Dealwith(unsigned char fpga, unsigned char force) {
    if (fpga >= kFpgaCount)
        return;
    const u8 state = fpga_ready_state(fpga);
    if (state != 2 && state != kReady)
        return;
    const bool pending =
        force == 1 || (gpio_mapped() && (board::mmio_read16(fpga_irq_gpio[fpga]) & 1));
    if (!pending) {
        g_change[36 + fpga] = 0;
        return;
    }
    g_change[42 + fpga] = 0;
    g_change[36 + fpga] = 0;
    write_to_register(kRegStatus, 0x20, 0x00, fpga);
    read_from_register(kRegStatus, fpga);
    if (reg_shadow[fpga][kRegStatus].load() & kEvent) {
        write_to_register(kRegStatus, kEventBits, 0x00, fpga);
        read_from_register(kRegImageYear, fpga);
        const u8 year = reg_shadow[fpga][kRegImageYear].load();
        if (year < kImageYearMin || year > kImageYearMax) {
            // The FPGA lost its image: bring it up again.
            set_fpga_ready_state(fpga, 0);
            g_change[38 + fpga] = G_timeTicks;
        }
    }
    read_from_register(129, fpga);
    read_from_register(145, fpga);
    if ((reg_shadow[fpga][129].load() | reg_shadow[fpga][145].load()) & kReceiveFlags)
        Rcv_data_from_eth(fpga);
    update_eth_state(fpga);
}

void fpga_manage::Rcv_data_from_eth(unsigned char) {}

void fpga_manage::Search_Card_Cmd() {}

void fpga_manage::Check_search_card() {
    if (!pc_cmd_valid && get_fpga_status()) {
        check_vbo_status(0);
        Search_Card_Cmd();
        Extension_function();
        check_wlanonline_state();
        return;
    }
    if (Utils::getTimeSpace(pc_cmd_time) > kPcQuietTicks) {
        pc_cmd_valid = 0;
        search_sent_mask = 0;
    }
}
