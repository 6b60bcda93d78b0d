#include "fpga/fpga_manage.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>

#include "board/board.h"
#include "board/settle.h"
#include "core/global.h"
#include "core/logMsg.h"
#include "core/utils.h"
#include "fpga/fpga_drv.h"
#include "fpga/rcv_recovery_file.h"
#include "fpga/send_para.h"

Wakeup fpga_manage::wakeup;
fpga_manage* fpga_manage::p_fpga_manage = nullptr;
std::atomic<u8>* fpga_manage::MCU_REG_func[kFpgaCount] = {};
u8* fpga_manage::MCU_RAM_PARA_func[kFpgaCount] = {};
u8* fpga_manage::MCU_RAM_RX_func[kFpgaCount] = {};
u8* fpga_manage::MCU_RAM_TX_func[kFpgaCount] = {};
u8* fpga_manage::MCU_RAM_ETH_PARA_func[kFpgaCount] = {};
u8* fpga_manage::MCU_RAM_ETH_BACK_PARA_func[kFpgaCount] = {};
u8 fpga_manage::MCU_RAM_CMD[1024] = {};
u8 fpga_manage::MCU_RAM_EXTEND[1024] = {};
u8 fpga_manage::MCU_RAM_ZOOM[1024] = {};
u8 fpga_manage::MCU_RAM_DEFAULT[2048] = {};

namespace {

// Start values, stored in this order once the window is mapped; the other words keep
// what the boot left in them.
constexpr struct {
    u32 offset;
    u16 value;
} kGpioStart[] = {
    {fpga_manage::kHdmi20ResetOffset, fpga_manage::kGpioLow},
    {fpga_manage::kRxResetOffset, fpga_manage::kGpioLow},
    {fpga_manage::kFlashCsOffset[1], fpga_manage::kGpioHigh},
    {fpga_manage::kFpgaCmdOffset[1], fpga_manage::kGpioHigh},
    {fpga_manage::kPadEnableOffset, 1},
};

constexpr u32 kWordOffsets[] = {
    fpga_manage::kSpiRoute0Offset,  fpga_manage::kSpiRoute1Offset,  fpga_manage::kFpgaCmdOffset[0],
    fpga_manage::kFpgaCmdOffset[1], fpga_manage::kFpgaRstOffset[0], fpga_manage::kFpgaRstOffset[1],
    fpga_manage::kFlashCsOffset[0], fpga_manage::kFlashCsOffset[1], fpga_manage::kFpgaIrqOffset[0],
    fpga_manage::kFpgaIrqOffset[1], fpga_manage::kRxResetOffset,    fpga_manage::kHdmi20ResetOffset,
    fpga_manage::kSdiResetOffset,   fpga_manage::kPadEnableOffset,
};

// The window must reach past the highest word the program uses.
constexpr u32 window_span() {
    u32 span = 0;
    for (u32 offset : kWordOffsets)
        span = std::max(span, offset + 2);
    return span;
}

// Transmit bytes of a read's data phase.
const u8* idle_bytes() {
    static const auto bytes = [] {
        std::array<u8, fpga_manage::kRamBlockSize> b;
        b.fill(0xFF);
        return b;
    }();
    return bytes.data();
}

bool shadowed_from_fpga(unsigned reg) {
    return reg <= 63 || (reg >= 128 && reg < fpga_manage::kRegCount);
}

}  // namespace

fpga_manage::fpga_manage() : monitor_state{3, 3}, p_fpga_drv(new fpga_drv(*this)) {
    for (auto& row : reg_shadow)
        for (auto& cell : row)
            cell.store(0, std::memory_order_relaxed);
    std::memset(ram_para_image, 0, sizeof ram_para_image);
    std::memset(ram_rx_image, 0, sizeof ram_rx_image);
    std::memset(ram_tx_image, 0, sizeof ram_tx_image);
    std::memset(eth_para_image, 0, sizeof eth_para_image);
    std::memset(eth_back_para_image, 0, sizeof eth_back_para_image);
    for (u8 f = 0; f < kFpgaCount; ++f) {
        MCU_REG_func[f] = reg_shadow[f];
        MCU_RAM_PARA_func[f] = ram_para_image[f];
        MCU_RAM_RX_func[f] = ram_rx_image[f];
        MCU_RAM_TX_func[f] = ram_tx_image[f];
        MCU_RAM_ETH_PARA_func[f] = eth_para_image[f];
        MCU_RAM_ETH_BACK_PARA_func[f] = eth_back_para_image[f];
    }
    pthread_mutex_init(&reg_mutex, nullptr);
    pthread_mutex_init(&passby_mutex, nullptr);
    p_rcvRecovery = new rcvRecovery;
}

fpga_manage::~fpga_manage() {
    stop_thread();
    delete p_rcvRecovery;
    unmap_gpio_window();
    for (u8 f = 0; f < kFpgaCount; ++f) {
        if (link_fd[f] >= 0)
            board::close(link_fd[f]);
        if (flash_fd[f] >= 0)
            board::close(flash_fd[f]);
        if (MCU_REG_func[f] == reg_shadow[f]) {
            MCU_REG_func[f] = nullptr;
            MCU_RAM_PARA_func[f] = MCU_RAM_RX_func[f] = MCU_RAM_TX_func[f] = nullptr;
            MCU_RAM_ETH_PARA_func[f] = MCU_RAM_ETH_BACK_PARA_func[f] = nullptr;
        }
    }
    delete p_fpga_drv;
    pthread_mutex_destroy(&reg_mutex);
    pthread_mutex_destroy(&passby_mutex);
    if (p_fpga_manage == this)
        p_fpga_manage = nullptr;
}

fpga_manage* fpga_manage::pInstance() {
    if (!p_fpga_manage) {
        p_fpga_manage = new fpga_manage;
        p_fpga_manage->p_rcvRecovery->check_file_dir("/data/smartmapping");
        p_fpga_manage->p_rcvRecovery->check_file_dir("/data/rcvrecovery");
        p_fpga_manage->initialize();
    }
    return p_fpga_manage;
}

int fpga_manage::initialize() {
    open_spi_links();
    if (map_gpio_window() != 0)
        return 255;
    softinit();
    board::msleep(board::fpgaSettleMilliseconds());
    g_fpga_c331_start = 0;
    record.clock_record_init();
    thread_stop = false;
    if (pthread_create(&thread, nullptr, fpgamanageThread, this) != 0) {
        writeLogMsg(LOG_MSG_ERROR, "create check source thread failed");
        return 255;
    }
    thread_started = true;
    return 0;
}

namespace {
thread_local bool t_fpga_thread = false;
}  // namespace

bool fpga_manage::on_own_thread() {
    return t_fpga_thread;
}

void* fpga_manage::fpgamanageThread(void* arg) {
    name_this_thread("fpga-link");
    t_fpga_thread = true;
    auto* self = static_cast<fpga_manage*>(arg);
    while (!self->thread_stop.load(std::memory_order_relaxed)) {
        if (g_fpga_c331_start) {
            if (g_usb_grade)
                self->usb_upgrade_manage_deal(self);
            else
                self->fpga_manage_deal();
        }
        wakeup.wait(self->pass_period_us());
    }
    return nullptr;
}

unsigned fpga_manage::pass_period_us() const {
    const bool talking =
        g_usb_grade || send_para_job() != SEND_PARA_JOB_NONE || pc_cmd_valid || multi_active;
    if (talking)
        return kBusyPassUs;
    return get_fpga_status() ? kRestPassUs : kStartPassUs;
}

void fpga_manage::stop_thread() {
    if (!thread_started.exchange(false))
        return;
    thread_stop = true;
    wakeup.notify();
    pthread_join(thread, nullptr);
}

void fpga_manage::set_gpio(volatile u16* word, u16 value) {
    if (!gpio_mapped()) {
        report_unmapped();
        return;
    }
    board::mmio_write16(word, value);
}

void fpga_manage::open_spi_links() {
    if (link_fd[0] < 0)
        link_fd[0] = p_fpga_drv->initialize_vbyne1(0);
    if (flash_fd[0] < 0)
        flash_fd[0] = p_fpga_drv->initialize_vbyne1(2);
}

int fpga_manage::map_gpio_window() {
    if (gpio_mapped())
        return 0;
    auto fail = [this](const char* message) {
        std::printf("%s", message);
        std::fflush(stdout);
        unmap_gpio_window();
        return 255;
    };
    msys_req = msys_request{kMsysVersion, 0, 0, sizeof(msys_request)};
    msys_fd = board::open("/dev/msys", O_RDWR | O_SYNC);
    if (msys_fd < 0)
        return fail("\n can't open /dev/msys");
    mem_fd = board::open("/dev/mem", O_RDWR | O_SYNC);
    if (mem_fd < 0)
        return fail("\ncan't open /dev/mem");
    if (board::ioctl(msys_fd, kMsysRequestWindow, &msys_req) != 0)
        return fail("\n DMEM request failed!!");
    if (msys_req.size < window_span())
        return fail("\n register window too small");
    void* base = board::mmap(nullptr, msys_req.size, PROT_READ | PROT_WRITE, MAP_SHARED, mem_fd,
                             static_cast<off_t>(msys_req.physical_address));
    if (base == MAP_FAILED)
        return fail("\n NULL pointer!");
    map_base = base;
    map_size = msys_req.size;

    // The window is an array of 16-bit registers at even byte offsets.
    auto word = [base](u32 offset) {
        return static_cast<volatile u16*>(base) + offset / sizeof(u16);
    };
    spi_route0_gpio = word(kSpiRoute0Offset);
    spi_route1_gpio = word(kSpiRoute1Offset);
    for (u8 f = 0; f < kFpgaCount; ++f) {
        fpga_cmd_gpio[f] = word(kFpgaCmdOffset[f]);
        fpga_rst_gpio[f] = word(kFpgaRstOffset[f]);
        flash_cs_gpio[f] = word(kFlashCsOffset[f]);
        fpga_irq_gpio[f] = word(kFpgaIrqOffset[f]);
    }
    rx_reset_gpio = word(kRxResetOffset);
    hdmi20_reset_gpio = word(kHdmi20ResetOffset);
    sdi_reset_gpio = word(kSdiResetOffset);
    for (const auto& start : kGpioStart)
        board::mmio_write16(word(start.offset), start.value);
    mapped.store(true, std::memory_order_release);
    return 0;
}

void fpga_manage::unmap_gpio_window() {
    mapped.store(false, std::memory_order_release);
    if (map_base)
        board::munmap(map_base, map_size);
    map_base = nullptr;
    map_size = 0;
    if (mem_fd >= 0)
        board::close(mem_fd);
    if (msys_fd >= 0)
        board::close(msys_fd);
    mem_fd = msys_fd = -1;
}

void fpga_manage::report_unmapped() {
    if (!unmapped_reported.exchange(true))
        std::fprintf(stderr, "FPGA link: SoC register window not mapped, SPI transfers refused\n");
}

void fpga_manage::route_c331() {
    board::mmio_write16(spi_route0_gpio, kGpioHigh);
    board::mmio_write16(spi_route1_gpio, kGpioHigh);
}

fpga_manage::BusRoute::BusRoute(fpga_manage& manager, Kind kind, u8 index)
    : m_(manager), kind_(kind), index_(index), ok_(false) {
    Utils::_spi_mutex.lock();
    if (!m_.gpio_mapped()) {
        m_.report_unmapped();
        return;
    }
    ok_ = true;
    if (kind_ == Fpga)
        board::mmio_write16(m_.fpga_cmd_gpio[index_], kGpioHigh);
    if (index_ == 0) {
        board::mmio_write16(m_.spi_route1_gpio, kGpioLow);
        board::mmio_write16(m_.spi_route0_gpio, kGpioHigh);
    } else {
        board::mmio_write16(m_.spi_route0_gpio, kGpioLow);
        board::mmio_write16(m_.spi_route1_gpio, kGpioHigh);
    }
    if (kind_ == Flash)
        board::mmio_write16(m_.flash_cs_gpio[index_], kGpioLow);
}

void fpga_manage::BusRoute::data_phase() {
    board::mmio_write16(m_.fpga_cmd_gpio[index_], kGpioLow);
}

fpga_manage::BusRoute::~BusRoute() {
    if (ok_) {
        if (kind_ == Flash)
            board::mmio_write16(m_.flash_cs_gpio[index_], kGpioHigh);
        else if (board::mmio_read16(m_.fpga_cmd_gpio[index_]) != kGpioLow)
            data_phase();
        m_.route_c331();
    }
    Utils::_spi_mutex.unlock();
}

FPGA_SPI_CMD fpga_manage::fpga_cmd_to_spi_data(u8 cmd, u8 block, u32 address, bool read) {
    return (read ? 1u : 0u) | (cmd & 0x0Fu) << 1 | static_cast<u32>(block) << 8 |
           (address & 0x0FFFu) << 16;
}

FPGA_SPI_CMD fpga_manage::fpga_reg_cmd_to_spi_data(u8 cmd, u8 block, u8 reg, bool read, u8 mask) {
    return (read ? 1u : 0u) | (cmd & 0x0Fu) << 1 | static_cast<u32>(block) << 8 |
           static_cast<u32>(reg) << 16 | (read ? 0u : static_cast<u32>(mask) << 24);
}

int fpga_manage::fpga_access(u8 fpga, FPGA_SPI_CMD word, const u8* tx, u8* rx, unsigned n) {
    BusRoute bus(*this, BusRoute::Fpga, fpga);
    if (!bus.ok())
        return 0;
    const u8 command[4] = {static_cast<u8>(word), static_cast<u8>(word >> 8),
                           static_cast<u8>(word >> 16), static_cast<u8>(word >> 24)};
    if (p_fpga_drv->SPI_Transfer_Write(link_fd[fpga], command, 4) < 0)
        return 0;
    bus.data_phase();
    int result = rx ? p_fpga_drv->SPI_Transfer(link_fd[fpga], tx, rx, static_cast<int>(n))
                    : p_fpga_drv->SPI_Transfer_Write(link_fd[fpga], tx, static_cast<int>(n));
    return result < 0 ? 0 : 1;
}

int fpga_manage::read_fpga_register(unsigned int reg, unsigned char* value, unsigned char fpga) {
    if (!value)
        return 0;
    *value = 0;
    if (fpga >= kFpgaCount || reg > 0xFF)
        return 0;
    u8 received = 0;
    FPGA_SPI_CMD word = fpga_reg_cmd_to_spi_data(kCmdRegister, 0, static_cast<u8>(reg), true, 0);
    if (!fpga_access(fpga, word, idle_bytes(), &received, 1))
        return 0;
    *value = received;
    return 1;
}

int fpga_manage::write_fpga_register(unsigned int reg, unsigned char data, unsigned char fpga,
                                     unsigned char mask) {
    if (fpga >= kFpgaCount || reg > 0xFF)
        return 0;
    FPGA_SPI_CMD word =
        fpga_reg_cmd_to_spi_data(kCmdRegister, 0, static_cast<u8>(reg), false, mask);
    return fpga_access(fpga, word, &data, nullptr, 1);
}

unsigned fpga_manage::room_after(const unsigned char* p) const {
    const struct {
        const u8* begin;
        unsigned size;
    } areas[] = {
        {ram_para_image[0], kRamImageSize},     {ram_para_image[1], kRamImageSize},
        {ram_rx_image[0], kRamImageSize},       {ram_rx_image[1], kRamImageSize},
        {ram_tx_image[0], kRamImageSize},       {ram_tx_image[1], kRamImageSize},
        {eth_para_image[0], kEthParaSize},      {eth_para_image[1], kEthParaSize},
        {eth_back_para_image[0], kEthParaSize}, {eth_back_para_image[1], kEthParaSize},
        {MCU_RAM_CMD, sizeof MCU_RAM_CMD},      {MCU_RAM_EXTEND, sizeof MCU_RAM_EXTEND},
        {MCU_RAM_ZOOM, sizeof MCU_RAM_ZOOM},    {MCU_RAM_DEFAULT, sizeof MCU_RAM_DEFAULT},
    };
    std::less<const u8*> before;
    for (const auto& area : areas)
        if (!before(p, area.begin) && before(p, area.begin + area.size))
            return static_cast<unsigned>(area.begin + area.size - p);
    return kRamBlockSize;
}

bool fpga_manage::ram_range_ok(const unsigned char* buf, unsigned int address,
                               unsigned int n) const {
    if (n > 0 && !buf)
        return false;
    return (address & 0x0FFFu) + static_cast<u64>(n) <= kRamBlockSize && n <= room_after(buf);
}

int fpga_manage::write_fpga_ram(const unsigned char* buf, unsigned int address, unsigned int n,
                                unsigned char block, unsigned char fpga) {
    if (fpga >= kFpgaCount || !ram_range_ok(buf, address, n))
        return 0;
    return fpga_access(fpga, fpga_cmd_to_spi_data(kCmdRam, block, address, false), buf, nullptr, n);
}

int fpga_manage::read_fpga_ram(unsigned char* buf, unsigned int address, unsigned int n,
                               unsigned char block, unsigned char fpga) {
    if (fpga >= kFpgaCount || !ram_range_ok(buf, address, n))
        return 0;
    return fpga_access(fpga, fpga_cmd_to_spi_data(kCmdRam, block, address, true), idle_bytes(), buf,
                       n);
}

int fpga_manage::read_from_register(unsigned char reg, unsigned char fpga) {
    if (fpga >= kFpgaCount || !shadowed_from_fpga(reg))
        return 0;
    u8 value;
    if (!read_fpga_register(reg, &value, fpga))
        return 0;
    pthread_mutex_lock(&reg_mutex);
    reg_shadow[fpga][reg].store(value);
    pthread_mutex_unlock(&reg_mutex);
    return 1;
}
