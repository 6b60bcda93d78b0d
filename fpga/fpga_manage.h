// The FPGA manager: owner of the output FPGAs, of the SoC's GPIO words and of the shared
// SPI bus routing.
//
// One object (the singleton `p_fpga_manage`) holds
// - the spidev handles of the FPGA links and of their configuration flashes;
// - the SoC register window and the 16-bit GPIO words inside it (16 drives a line high,
//   0 low; sdi_reset_gpio uses bit 0): the bus routing words that every SPI master sets
//   before a transfer, the FPGA command lines and flash selects, and the reset lines the
//   input manager drives;
// - per FPGA the 170-byte register shadow and the RAM images the rest of the program
//   reads, reached through the static pointer pairs MCU_REG_func, MCU_RAM_PARA_func, ...
//
// Bus routing: the c331 hears the bus while both routing words are 16 (also the idle
// state); FPGA 0 and its flash with route0 16 / route1 0, FPGA 1 and its flash with 0 /
// 16. An FPGA takes a command word while its command line is 16 and the data after it
// with the line at 0; a flash listens while its select is 0. Every access runs under
// Utils::_spi_mutex from the first routing store to the restore of both words to 16.
//
// GPIO words are written and read with board::mmio_write16 / board::mmio_read16, and only
// once gpio_mapped() is true (map_gpio_window succeeded).
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>

#include "core/types.h"

class fpga_drv;

// The 32-bit command word of the FPGA link, sent least significant byte first:
// bit 0 read, bits 1..4 command, bits 8..15 RAM block, bits 16..27 RAM address or
// bits 16..23 register number and bits 24..31 write mask.
using FPGA_SPI_CMD = u32;

class fpga_manage {
public:
    static constexpr u8 kFpgaCount = 2;
    static constexpr unsigned kRegCount = 170;
    static constexpr unsigned kRamImageSize = 1024;
    static constexpr unsigned kEthParaSize = 136;
    // Bytes of one FPGA RAM block as its 12-bit address reaches them.
    static constexpr unsigned kRamBlockSize = 4096;

    static constexpr u8 kCmdRam = 1;
    static constexpr u8 kCmdRegister = 2;

    static constexpr u16 kGpioHigh = 16;
    static constexpr u16 kGpioLow = 0;

    // Byte offsets of the GPIO words inside the SoC register window.
    static constexpr u32 kSpiRoute0Offset = 0x207900;
    static constexpr u32 kSpiRoute1Offset = 0x207810;
    static constexpr u32 kFpgaCmdOffset[kFpgaCount] = {0x207838, 0x207954};
    static constexpr u32 kFpgaRstOffset[kFpgaCount] = {0x207858, 0x207864};
    static constexpr u32 kFlashCsOffset[kFpgaCount] = {0x207860, 0x207950};
    static constexpr u32 kFpgaIrqOffset[kFpgaCount] = {0x207908, 0x207910};
    static constexpr u32 kRxResetOffset = 0x207940;
    static constexpr u32 kHdmi20ResetOffset = 0x207944;
    static constexpr u32 kSdiResetOffset = 0x002848;
    static constexpr u32 kPadEnableOffset = 0x001F1C;  // set to 1 once at mapping

    // The "/dev/msys" request that says where the register window lies.
#pragma pack(push, 1)
    struct msys_request {
        u32 version;
        u64 physical_address;
        u32 size;
        u32 request_size;
    };
#pragma pack(pop)
    static_assert(sizeof(msys_request) == 20, "the msys request is 20 bytes");
    static constexpr u32 kMsysVersion = 0x4D530100;
    static constexpr unsigned long kMsysRequestWindow = 0x5315;

    static fpga_manage* p_fpga_manage;

    // Register shadows and RAM images of FPGA 0 and FPGA 1 inside the manager. Shadow bytes
    // are read without a lock by screens and transports, hence atomic.
    static std::atomic<u8>* MCU_REG_func[kFpgaCount];
    static u8* MCU_RAM_PARA_func[kFpgaCount];
    static u8* MCU_RAM_RX_func[kFpgaCount];
    static u8* MCU_RAM_TX_func[kFpgaCount];
    static u8* MCU_RAM_ETH_PARA_func[kFpgaCount];
    static u8* MCU_RAM_ETH_BACK_PARA_func[kFpgaCount];
    // Areas shared with the remote protocol.
    static u8 MCU_RAM_CMD[1024];
    static u8 MCU_RAM_EXTEND[1024];
    static u8 MCU_RAM_ZOOM[1024];
    static u8 MCU_RAM_DEFAULT[2048];

    fpga_manage();
    ~fpga_manage();
    fpga_manage(const fpga_manage&) = delete;
    fpga_manage& operator=(const fpga_manage&) = delete;

    // Creates the manager on first use and starts it; later calls return it.
    static fpga_manage* pInstance();
    // Start-up of the FPGA side: links, flash and register window. 0, or 255 on failure.
    int initialize();

    // Opens the FPGA 0 link and the flash of FPGA 0; FPGA 1's are not fitted.
    void open_spi_links();
    // Finds the register window through "/dev/msys", maps "/dev/mem", points the GPIO words
    // and writes their start values. 0, or 255 (with the reason printed) on failure.
    int map_gpio_window();
    bool gpio_mapped() const {
        return mapped.load(std::memory_order_acquire);
    }

    // Command words.
    static FPGA_SPI_CMD fpga_cmd_to_spi_data(u8 cmd, u8 block, u32 address, bool read);
    static FPGA_SPI_CMD fpga_reg_cmd_to_spi_data(u8 cmd, u8 block, u8 reg, bool read, u8 mask);

    // Raw FPGA access. Each returns 1 when done, 0 when refused (FPGA index 2 or more,
    // register above 255, RAM range beyond its block or the buffer's image, window not
    // mapped) or when a transfer failed. A failed register read yields 0.
    int read_fpga_register(unsigned int reg, unsigned char* value, unsigned char fpga);
    int write_fpga_register(unsigned int reg, unsigned char data, unsigned char fpga,
                            unsigned char mask);
    int write_fpga_ram(const unsigned char* buf, unsigned int address, unsigned int n,
                       unsigned char block, unsigned char fpga);
    int read_fpga_ram(unsigned char* buf, unsigned int address, unsigned int n, unsigned char block,
                      unsigned char fpga);
    // Refreshes the shadow of register 0..63 or 128..169 from the FPGA (1); other numbers
    // send nothing (0). A failed read leaves the shadow as it was (0).
    int read_from_register(unsigned char reg, unsigned char fpga);

    // Holds the bus routed to one FPGA or one flash for a scope: takes Utils::_spi_mutex,
    // drives the routing, and on leaving releases the command line or flash select and
    // puts both routing words back to 16. ok() is false (and nothing is driven) while the
    // window is not mapped.
    class BusRoute {
    public:
        enum Kind { Fpga, Flash };
        BusRoute(fpga_manage& manager, Kind kind, u8 index);
        ~BusRoute();
        BusRoute(const BusRoute&) = delete;
        BusRoute& operator=(const BusRoute&) = delete;
        bool ok() const { return ok_; }
        // FPGA: the command word is out; what follows is data.
        void data_phase();

    private:
        fpga_manage& m_;
        Kind kind_;
        u8 index_;
        bool ok_;
    };

    // Routes the bus to the c331 (both routing words 16). The caller holds
    // Utils::_spi_mutex and has checked gpio_mapped().
    void route_c331();

    int flash_handle(u8 index) const {
        return flash_fd[index];
    }

    pthread_mutex_t reg_mutex;
    pthread_mutex_t passby_mutex;

    fpga_drv* p_fpga_drv;

    volatile u16* spi_route0_gpio = nullptr;
    volatile u16* spi_route1_gpio = nullptr;
    volatile u16* fpga_cmd_gpio[kFpgaCount] = {};
    volatile u16* fpga_rst_gpio[kFpgaCount] = {};
    volatile u16* flash_cs_gpio[kFpgaCount] = {};
    volatile u16* fpga_irq_gpio[kFpgaCount] = {};
    volatile u16* rx_reset_gpio = nullptr;
    volatile u16* hdmi20_reset_gpio = nullptr;
    volatile u16* sdi_reset_gpio = nullptr;

private:
    // One FPGA access: the command word, then n data bytes sent from tx (rx null) or
    // exchanged into rx.
    int fpga_access(u8 fpga, FPGA_SPI_CMD word, const u8* tx, u8* rx, unsigned n);
    void report_unmapped();
    // Bytes left from p to the end of the manager's image or area that holds it; the block
    // size when p lies in none of them.
    unsigned room_after(const unsigned char* p) const;
    bool ram_range_ok(const unsigned char* buf, unsigned int address, unsigned int n) const;
    void unmap_gpio_window();

    int link_fd[kFpgaCount] = {-1, -1};
    int flash_fd[kFpgaCount] = {-1, -1};

    std::atomic<u8> reg_shadow[kFpgaCount][kRegCount];
    u8 ram_para_image[kFpgaCount][kRamImageSize];
    u8 ram_rx_image[kFpgaCount][kRamImageSize];
    u8 ram_tx_image[kFpgaCount][kRamImageSize];
    u8 eth_para_image[kFpgaCount][kEthParaSize];
    u8 eth_back_para_image[kFpgaCount][kEthParaSize];

    void* map_base = nullptr;
    size_t map_size = 0;
    int mem_fd = -1;
    int msys_fd = -1;
    msys_request msys_req{};
    std::atomic<bool> mapped{false};
    std::atomic<bool> unmapped_reported{false};
};
