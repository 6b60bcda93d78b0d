// The control-protocol handler. Every transport owns one instance and calls
// message_group_deal for each frame it decoded, so the handler runs concurrently on the
// transport threads: what it shares lives behind the apply lock (image, user modes,
// processor registers), the file-transfer lock, or the FPGA manager's locks.
//
// docs/protocol.md lists every frame the device accepts and what it answers.
#pragma once

#include "core/types.h"
#include "remote/card_passby.h"
#include "remote/krx_file_deal.h"
#include "remote/protocol_phy.h"

// The transports by the number the card pass-through knows them by.
enum class RemoteTransport : u8 {
    Serial = 1,
    Tcp = 2,
    Udp = 3,
    Modem4G = 4,
};

class message_deal {
public:
    // Data bytes one RAM, register or file frame may carry.
    static constexpr unsigned kMaxData = 4096;
    // A reply frame (unescaped, with its check byte) is never longer than this.
    static constexpr unsigned kMaxReply = protocol_phy::kMaxFrame;

    // Commands of frames addressed to the processor.
    static constexpr u8 kRamWrite = 0x60;
    static constexpr u8 kRamRead = 0x61;
    static constexpr u8 kSave = 0x81;
    static constexpr u8 kFileStart = 0x90;
    static constexpr u8 kFileData = 0x91;
    static constexpr u8 kFileEnd = 0x92;
    static constexpr u8 kFileDelete = 0x93;
    static constexpr u8 kRegWrite = 0xA0;
    static constexpr u8 kRegRead = 0xA1;
    static constexpr u8 kNetWrite = 0xC0;
    static constexpr u8 kNetRead = 0xC1;

    // File types of the transfer.
    static constexpr u8 kFileRecovery = 9;
    static constexpr u8 kFileScan = 13;

    // Processor registers: 0..kSelfRegisters-1 read, below kSelfWritable written.
    static constexpr u32 kSelfRegisters = 1064;
    static constexpr u32 kSelfWritable = 0xAA;
    // Registers of FPGA f start at kFpgaRegisters + 0x100 * f.
    static constexpr u32 kFpgaRegisters = 0x1000;
    static constexpr u32 kFpgaRegisterCount = 170;

    explicit message_deal(RemoteTransport transport);

    // Handles one unescaped frame (check byte last). Writes the unescaped reply frame to
    // reply (kMaxReply bytes) and returns its length; 0 when nothing is to be answered now:
    // a frame with a bad check byte or too short to have one, or a frame handed on to the
    // receiving cards (their answer comes through the transport's reply list).
    unsigned message_group_deal(u8* frame, unsigned length, u8* reply);

    // Work that must wait until the reply has gone out (a new network address would cut
    // the reply off). The transport calls it after each send.
    void after_reply();

    // After a completed transfer: tells the screens (on the GUI thread) about the new file.
    // file_type points at the type byte of the transfer.
    int write_file_end(unsigned char* file_type);
    // Removes files at the PC's request: request holds the file type byte, then the file
    // name, NUL-terminated (an empty name removes every file of the type's folder).
    // Returns 0 when done, 1 when refused.
    int delete_file_name(unsigned char* request);

    // The peer of the frames handed to message_group_deal from now on: a frame for the
    // receiving cards records it, and the cards' answer goes back there.
    void set_passby_peer(const PassbyPeer& peer) { passby_peer_ = peer; }

    RemoteTransport transport() const { return transport_; }
    // Frames dropped for a bad check byte or a length below the minimum.
    unsigned long rejected() const { return rejected_; }

private:
    class Reply;

    void processor_command(const u8* frame, unsigned length, Reply& reply);
    void ram_write(const u8* frame, unsigned length, Reply& reply);
    void ram_read(const u8* frame, unsigned length, Reply& reply);
    void register_write(const u8* frame, unsigned length, Reply& reply);
    void register_read(const u8* frame, unsigned length, Reply& reply);
    void parameter_save(unsigned length, Reply& reply);
    void network_write(const u8* frame, unsigned length, Reply& reply);
    void network_read(unsigned length, Reply& reply);
    void file_start(const u8* frame, unsigned length, Reply& reply);
    void file_data(const u8* frame, unsigned length, Reply& reply);
    void file_end(unsigned length, Reply& reply);
    void file_delete(const u8* frame, unsigned length, Reply& reply);

    bool write_registers(u32 first, const u8* values, u16 count, u16 mask);
    bool write_self_registers(u32 first, const u8* values, u16 count);
    bool read_registers(u32 first, u16 count, u8* out);
    bool read_self_registers(u32 first, u16 count, u8* out);
    FileBufferUser buffer_user() const { return static_cast<FileBufferUser>(transport_); }

    RemoteTransport transport_;
    PassbyPeer passby_peer_;
    bool network_changed_ = false;
    unsigned long rejected_ = 0;
};
