// The spidev side of the FPGA link and the FPGAs' configuration flashes.
//
// Each FPGA boots from a 25-series serial NOR flash of 8 MiB on the shared SPI bus. Flash
// select 2 is the flash of FPGA 0, any other select the flash of FPGA 1; the manager's
// BusRoute steers the bus to it and holds Utils::_spi_mutex for the whole operation,
// busy waits included. Erase, program, read and unique-id return 1 when done and 0 when
// refused (range, alignment, window not mapped) or when a transfer failed or the flash
// stayed busy.
//
// Flash layout of select 2 that the program relies on: the FPGA image from 0, 256 bytes
// for FPGA RAM block 50 at 0x301001, the stored parameter RAM at 0x308000 (marker 0xAA)
// and 0x308001, the on/off schedule at 0x30E000, the brightness record at 0x30F000 and
// the run-time record from 0x334000.
#pragma once

#include "core/types.h"

class fpga_manage;

class fpga_drv {
public:
    static constexpr u32 kSpeedHz = 10000000;
    static constexpr u32 kFlashSize = 0x800000;
    static constexpr u32 kFlashSectorSize = 4096;
    static constexpr u32 kFlashSectors = kFlashSize / kFlashSectorSize;
    static constexpr u32 kFlashPageSize = 256;
    static constexpr u32 kFlashReadChunk = 2048;
    // Room the caller leaves in front of the data of a program.
    static constexpr u32 kFlashWriteHeadroom = 4;
    static constexpr u8 kFlashSelectFpga0 = 2;

    // Erase types of FPGA_SPI_FLASH_VBYONE_ERASE.
    static constexpr u8 kErase4K = 0;
    static constexpr u8 kErase32K = 1;
    static constexpr u8 kErase64K = 2;

    // A busy flash is polled back to back this often, then once per poll interval; it is
    // given up after the limit (over 3 s, beyond the longest block erase of such parts).
    static constexpr unsigned kBusyFastPolls = 64;
    static constexpr unsigned kBusyPollIntervalUs = 100;
    static constexpr unsigned kBusyPollLimit = 30000;

    explicit fpga_drv(fpga_manage& manager);

    // Opens "/dev/spidev32766.<n + 1>" (0 FPGA 0, 1 FPGA 1, 2 flash of FPGA 0, 3 flash of
    // FPGA 1) in mode 3, 8 bits, 10 MHz. -1 (reported) when it cannot be opened.
    int initialize_vbyne1(unsigned char n);

    // One spidev message at 10 MHz; the ioctl result (the byte count), or < 0 (reported).
    int SPI_Transfer(int fd, const unsigned char* tx, unsigned char* rx, int len);
    int SPI_Transfer_Write(int fd, const unsigned char* tx, int len);

    // Erases count blocks of 4, 32 or 64 KiB (type 0, 1, 2) from 4 KiB sector `sector`.
    // A block must start at a multiple of its size; the range must end by sector 2048.
    int FPGA_SPI_FLASH_VBYONE_ERASE(unsigned char select, unsigned int sector, unsigned char type,
                                    unsigned int count);
    // Programs n bytes at address, page by page. The data starts 4 bytes into buffer (the
    // callers leave that room); the buffer is left untouched. address + n ends by 8 MiB.
    int FPGA_SPI_FLASH_VBYONE_WRITE(unsigned char select, unsigned int address,
                                    const unsigned char* buffer, unsigned int n);
    // Reads n bytes from address into out; address + n ends by 8 MiB.
    int FPGA_SPI_FLASH_VBYONE_READ(unsigned char select, unsigned int address, unsigned int n,
                                   unsigned char* out);
    // The flash's 8-byte unique id into out.
    int FPGA_SPI_FLASH_SSTF016B_RD_UID(unsigned char select, unsigned char* out);
    // Polls the status until the flash is no longer busy: 1, or 0 on a transfer error or
    // when the poll limit passes. The caller holds the bus.
    int FPGA_SPI_WAIT_BUSY(int fd);

private:
    static u8 flash_index(unsigned char select);
    int transfer(int fd, const unsigned char* tx, unsigned char* rx, int len);
    bool write_enable(int fd);
    bool program_page(int fd, u32 address, const u8* data, u32 n);

    fpga_manage& manager;
};
