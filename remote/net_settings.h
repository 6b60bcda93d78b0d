// The wired-network settings as the PC reads and writes them: address, mask and gateway
// as four bytes each, then the TCP port (u16). They reach the settings file, "ifconfig" and
// "route" and the TCP server only after valid() has accepted them.
#pragma once

#include <QString>

#include "core/types.h"

class ConfigEngine;

struct NetSettings {
    static constexpr unsigned kSize = 14;

    u8 ip[4] = {};
    u8 mask[4] = {};
    u8 gateway[4] = {};
    u16 port = 0;

    static NetSettings decode(const u8* bytes);
    void encode(u8* bytes) const;

    // A unicast host address inside its subnet, a contiguous mask of 1 to 30 bits, a
    // gateway that is another host of the same subnet, and a port other than 0.
    bool valid() const;

    // Writes the settings file and the TCP port globals.
    void store(ConfigEngine* config) const;
    // The settings as the settings file holds them (zero where a text is no address).
    static NetSettings load(ConfigEngine* config);

    // Dotted-quad IPv4 text, each part 0..255 in decimal; false for anything else.
    static bool parse_ipv4(const QString& text, u8 out[4]);
    static QString ipv4_text(const u8 address[4]);
};
