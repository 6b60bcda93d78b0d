#include "remote/net_settings.h"

#include <QStringList>
#include <cstring>

#include "core/config_engine.h"
#include "core/global.h"
#include "remote/phydata.h"

namespace {

u32 as_u32(const u8 a[4]) {
    return static_cast<u32>(a[0]) << 24 | static_cast<u32>(a[1]) << 16 |
           static_cast<u32>(a[2]) << 8 | a[3];
}

// A host of the subnet: neither its network nor its broadcast address.
bool host_of(u32 address, u32 network, u32 mask) {
    u32 host = address & ~mask;
    return (address & mask) == network && host != 0 && host != ~mask;
}

}  // namespace

NetSettings NetSettings::decode(const u8* bytes) {
    NetSettings s;
    memcpy(s.ip, bytes, 4);
    memcpy(s.mask, bytes + 4, 4);
    memcpy(s.gateway, bytes + 8, 4);
    s.port = get_u16(bytes + 12);
    return s;
}

void NetSettings::encode(u8* bytes) const {
    memcpy(bytes, ip, 4);
    memcpy(bytes + 4, mask, 4);
    memcpy(bytes + 8, gateway, 4);
    put_u16(bytes + 12, port);
}

bool NetSettings::valid() const {
    u32 m = as_u32(mask);
    u32 inverse = ~m;
    bool contiguous = m != 0 && (inverse & (inverse + 1)) == 0;
    if (!contiguous || inverse < 3 || port == 0)
        return false;
    // Unicast only: not 0/8, loopback, multicast or the reserved class E.
    if (ip[0] == 0 || ip[0] == 127 || ip[0] >= 224)
        return false;
    u32 address = as_u32(ip);
    u32 network = address & m;
    u32 gw = as_u32(gateway);
    return host_of(address, network, m) && host_of(gw, network, m) && gw != address;
}

void NetSettings::store(ConfigEngine* config) const {
    config->write_config_variant(ConfigItem::IPAddress, ipv4_text(ip));
    config->write_config_variant(ConfigItem::SubNetMask, ipv4_text(mask));
    config->write_config_variant(ConfigItem::GateWay, ipv4_text(gateway));
    config->write_config_variant(ConfigItem::TcpPort, static_cast<int>(port));
    g_int_tcp_port = port;
    g_port = port;
}

NetSettings NetSettings::load(ConfigEngine* config) {
    NetSettings s;
    parse_ipv4(config->read_config_variant(ConfigItem::IPAddress).toString(), s.ip);
    parse_ipv4(config->read_config_variant(ConfigItem::SubNetMask).toString(), s.mask);
    parse_ipv4(config->read_config_variant(ConfigItem::GateWay).toString(), s.gateway);
    int port = config->read_config_variant(ConfigItem::TcpPort).toInt();
    s.port = port > 0 && port <= 0xFFFF ? static_cast<u16>(port) : 0;
    return s;
}

bool NetSettings::parse_ipv4(const QString& text, u8 out[4]) {
    QStringList parts = text.split('.');
    if (parts.size() != 4)
        return false;
    u8 bytes[4];
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        bool digits = !p.isEmpty() && p.size() <= 3;
        for (QChar c : p)
            digits = digits && c >= '0' && c <= '9';
        int v = digits ? p.toInt() : 256;
        if (v > 255)
            return false;
        bytes[i] = static_cast<u8>(v);
    }
    memcpy(out, bytes, 4);
    return true;
}

QString NetSettings::ipv4_text(const u8 a[4]) {
    return QString("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}
