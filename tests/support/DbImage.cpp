#include "DbImage.h"

#include <cstdio>

namespace vmxtest {
namespace {

void put(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

std::vector<std::uint8_t> encodeDb(const TestDb& db)
{
    std::vector<std::uint8_t> out(512, 0);
    put(out, 0, db.version, 2);
    put(out, 2, db.headerSize, 2);
    put(out, 4, db.count, 2);
    const std::size_t imageLen = db.version >= 5 ? 144 : db.version == 4 ? 136 : 92;
    for (int i = 0; i < 200; ++i) {
        std::vector<std::uint8_t> image(144, 0);
        std::vector<std::string> parts;
        if (auto it = db.records.find(i); it != db.records.end()) {
            const TestRecord& r = it->second;
            parts = r.parts;
            put(image, 0, r.id, 2);
            std::copy(r.name.begin(), r.name.end(), image.begin() + 2);
            put(image, 18, r.partCountOverride >= 0 ? static_cast<std::uint64_t>(r.partCountOverride) : r.parts.size(), 2);
            put(image, 20, r.startTime, 4);
            put(image, 24, r.duration, 4);
            for (std::size_t k = 0; k < 6; ++k)
                put(image, 28 + 2 * k, r.streams[k], 2);
            image[40] = r.attr1;
            image[41] = r.attr2;
            put(image, 42, r.attr3, 2);
            std::copy(r.attrBlock.begin(), r.attrBlock.end(), image.begin() + 44);
            put(image, 96, r.extA, 8);
            put(image, 104, r.extB, 8);
            for (std::size_t k = 0; k < 3; ++k)
                put(image, 112 + 8 * k, r.extC[k], 8);
            image[136] = r.extD;
            image.resize(imageLen);
            out.insert(out.end(), image.begin(), image.end());
            if (db.version >= 4) {
                unsigned sum = 0;
                for (auto b : image)
                    sum += b;
                out.push_back(static_cast<std::uint8_t>((sum + (r.badChecksum ? 1 : 0)) & 0xFF));
            }
        } else {
            out.insert(out.end(), imageLen + (db.version >= 4 ? 1 : 0), 0);
        }
        for (const auto& p : parts)
            out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::string partName(int slot, int j)
{
    char name[16];
    std::snprintf(name, sizeof name, "RF%04d%c%c.TRP", slot % 10000, 'A' + j / 26, 'A' + j % 26);
    return name;
}

TestRecord makeRecord(std::uint16_t id, const std::string& channel, int slot, int parts)
{
    TestRecord r;
    r.id = id;
    r.name[0] = 0x05;
    for (std::size_t i = 0; i < channel.size() && i < 15; ++i)
        r.name[i + 1] = static_cast<std::uint8_t>(channel[i]);
    r.startTime = 1700000000u + id;
    r.duration = 60u * id;
    r.streams = {256, 257, 4096, 0, 0, 0};
    for (int j = 0; j < parts; ++j)
        r.parts.push_back(partName(slot, j));
    return r;
}

TestRecord randomRecord(std::mt19937& rng, std::uint16_t id, int slot, int parts)
{
    auto byte = [&] { return static_cast<std::uint8_t>(rng() & 0xFF); };
    TestRecord r;
    r.id = id;
    for (auto& b : r.name)
        b = byte();
    r.startTime = static_cast<std::uint32_t>(rng());
    r.duration = static_cast<std::uint32_t>(rng());
    for (auto& s : r.streams)
        s = static_cast<std::uint16_t>(rng());
    r.attr1 = byte();
    r.attr2 = byte();
    r.attr3 = static_cast<std::uint16_t>(rng());
    for (auto& b : r.attrBlock)
        b = byte();
    r.extA = (std::uint64_t{rng()} << 32) | rng();
    r.extB = (std::uint64_t{rng()} << 32) | rng();
    for (auto& c : r.extC)
        c = (std::uint64_t{rng()} << 32) | rng();
    r.extD = byte();
    for (int j = 0; j < parts; ++j)
        r.parts.push_back(partName(slot, j));
    return r;
}

}  // namespace vmxtest
