// Framing and the file-transfer digest.
#include <gtest/gtest.h>

#include <string>

#include "remote/md5.h"
#include "remote/protocol_phy.h"
#include "tests/remote/remote_test.h"

using remotetest::Bytes;

namespace {

Bytes escapedBy(protocol_phy& phy, const Bytes& f) {
    Bytes out(protocol_phy::escaped_size(f.size()));
    out.resize(phy.data_re_transf_meaning(out.data(), f.data(), f.size()));
    return out;
}

std::vector<Bytes> decode(protocol_phy& phy, const Bytes& stream, size_t chunk = 0) {
    std::vector<Bytes> frames;
    auto take = [&](unsigned char* f, unsigned n) { frames.emplace_back(f, f + n); };
    if (chunk == 0)
        chunk = stream.size();
    for (size_t at = 0; at < stream.size(); at += chunk)
        phy.receive(stream.data() + at, std::min(chunk, stream.size() - at), take);
    return frames;
}

std::string hex(const MD5::Digest& d) {
    std::string s;
    char two[3];
    for (unsigned char c : d) {
        snprintf(two, sizeof two, "%02x", c);
        s += two;
    }
    return s;
}

}  // namespace

TEST(Framing, EscapingKeepsMarkersOutOfTheBodyAndWithinTwiceTheLength) {
    protocol_phy phy;
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<unsigned char>(i));
    Bytes worst(300, 0xA5);
    for (const Bytes& f : {all, worst, Bytes{0x5A}, Bytes{0xAA, 0xAA}}) {
        Bytes e = escapedBy(phy, f);
        EXPECT_EQ(e, remotetest::escape(f));
        EXPECT_LE(e.size(), 2 * f.size() + 4);
        for (size_t i = 3; i + 1 < e.size(); ++i) {
            ASSERT_NE(e[i], 0xA5) << "at " << i;
            ASSERT_NE(e[i], 0x5A) << "at " << i;
        }
        std::vector<Bytes> back = decode(phy, e);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0], f);
    }
}

TEST(Framing, DecoderFindsFramesInAnyChunkingAndSkipsNoise) {
    Bytes a = {1, 2, 0xA5, 0x5A, 0xAA, 3};
    Bytes b = {9, 8, 7};
    Bytes stream = {0x00, 0x5A, 0xA5, 0x13, 0xA5, 0xA5};  // noise and a short start
    Bytes ea = remotetest::escape(a), eb = remotetest::escape(b);
    stream.insert(stream.end(), ea.begin(), ea.end());
    stream.insert(stream.end(), {0x77, 0x5A});
    stream.insert(stream.end(), eb.begin(), eb.end());
    for (size_t chunk : {0u, 1u, 2u, 5u}) {
        protocol_phy phy;
        std::vector<Bytes> frames = decode(phy, stream, chunk);
        ASSERT_EQ(frames.size(), 2u) << "chunk " << chunk;
        EXPECT_EQ(frames[0], a);
        EXPECT_EQ(frames[1], b);
    }
}

TEST(Framing, DamagedOrOverlongFramesAreDroppedWholeAndTheNextOneSurvives) {
    protocol_phy phy;
    Bytes good = {0x11, 0x22};
    Bytes eg = remotetest::escape(good);

    // A frame one byte longer than the 4200 bytes a receiver holds, whose tail would look
    // like a frame of its own if it were cut at the buffer's end.
    Bytes overlong(4200 + 1, 0x33);
    Bytes stream = remotetest::escape(overlong);
    stream.insert(stream.end(), eg.begin(), eg.end());
    // A bad escape code, then a frame cut short by the next start.
    stream.insert(stream.end(), {0xA5, 0xA5, 0xA5, 0x01, 0xAA, 0x07, 0x02, 0x5A});
    stream.insert(stream.end(), {0xA5, 0xA5, 0xA5, 0x01, 0x02});
    stream.insert(stream.end(), eg.begin(), eg.end());
    std::vector<Bytes> frames = decode(phy, stream);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], good);
    EXPECT_EQ(frames[1], good);
    EXPECT_EQ(phy.dropped(), 3u);

    // The largest frame the receiver holds still arrives.
    Bytes largest(4200, 0x44);
    frames = decode(phy, remotetest::escape(largest));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 4200u);
}

// The test suite of RFC 1321, appendix A.5.
TEST(Md5, MatchesTheReferenceSuite) {
    const std::pair<std::string, std::string> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, digest] : suite)
        EXPECT_EQ(hex(MD5::of(reinterpret_cast<const u8*>(text.data()), text.size())), digest)
            << text;

    // Fed in pieces that straddle the 64-byte blocks, the digest is the same.
    std::string text = suite[6].first;
    MD5 md5;
    for (size_t at = 0; at < text.size(); at += 7)
        md5.update(reinterpret_cast<const u8*>(text.data()) + at,
                   std::min<size_t>(7, text.size() - at));
    EXPECT_EQ(hex(md5.finish()), suite[6].second);
}
