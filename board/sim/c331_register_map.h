// The c331's register map: every register the video processor's programme uses, with its
// width and whether the chip lets it be written.
//
// The map is a table of rows. A row names `fields` fields of `bytes` bytes each: the first
// at `address`, each next one `step` addresses further. A per-channel row repeats in
// `channels` register blocks 16 banks apart (bank, bank + 16, ...), as the chip lays out
// the blocks of its input and output channels. Address 0 of every bank is the bank
// register; it belongs to no row.
//
// The chip model puts every access outside the map on its protocol-error list, so that a
// register the program addresses wrongly shows up in the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

class C331RegisterMap {
public:
    enum Flag : uint8_t {
        kReadOnly = 1,  // status the chip raises; a write is refused
    };

    struct Row {
        uint8_t bank;  // of channel 0
        uint8_t address;
        uint8_t bytes;     // width of one field, 1..4
        uint8_t fields;    // fields in the row
        uint8_t step;      // addresses from one field to the next
        uint8_t channels;  // register blocks 16 banks apart
        uint8_t flags;
        const char* name;
    };

    // Where a register lies in the map.
    struct Place {
        const Row* row = nullptr;  // null: not mapped
        int channel = 0;
        int field = 0;             // index of the field in its row
        uint8_t fieldAddress = 0;  // first address of the field
    };

    static const C331RegisterMap& instance();

    const std::vector<Row>& rows() const { return rows_; }
    Place find(uint8_t bank, uint8_t address) const;
    bool mapped(uint8_t bank, uint8_t address) const { return find(bank, address).row; }
    bool readOnly(uint8_t bank, uint8_t address) const;

    // Byte registers the map holds, and the fields they form (each channel's copy counted
    // once).
    size_t registers() const { return registers_; }
    size_t fields() const { return fields_; }

    // Registers claimed by two rows that disagree on the field they belong to (where it
    // starts, how wide it is, whether it is read-only). Empty for a sound map.
    const std::vector<std::string>& conflicts() const { return conflicts_; }

    // "bank 0x28 address 0x4A (background colour, channel 2)", or without the parentheses
    // when the register is not mapped.
    std::string describe(uint8_t bank, uint8_t address) const;

private:
    C331RegisterMap();
    void claim(const Row& row, int channel, int field, uint8_t bank, uint8_t address);

    std::vector<Row> rows_;
    std::vector<Place> places_;  // 256 banks x 128 addresses
    size_t registers_ = 0;
    size_t fields_ = 0;
    std::vector<std::string> conflicts_;
};

}  // namespace sim
