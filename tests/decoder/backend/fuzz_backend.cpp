// libFuzzer target over everything in the back end that reads received data: SCH
// information, BCCH messages (SI1 with every frequency-list format, SI3, SI4, SI6) and the
// channel decoding chain. Each input is copied into buffers of exactly the size the code may
// touch, so that AddressSanitizer sees any read or write outside the message or the map.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "backend/channel_decoding.h"
#include "backend/freq_list.h"
#include "backend/system_info.h"

namespace {

template <typename T> std::unique_ptr<T[]> exactCopy(const uint8_t* data, size_t n)
{
    auto p = std::make_unique<T[]>(n);
    std::memcpy(p.get(), data, n * sizeof(T));
    return p;
}

void fuzzMessages(const uint8_t* data, size_t size)
{
    auto area = std::make_unique<SiArea>();
    std::memset(area.get(), 0, sizeof(SiArea));
    // Consecutive 23-octet blocks into one area, as a cell's BCCH fills it.
    for (; size >= kBlockOctets; data += kBlockOctets, size -= kBlockOctets) {
        auto block = exactCopy<uint8_t>(data, kBlockOctets);
        parseRr(block.get(), area.get());
        if (area->ciValid > 1 || area->laiValid > 1 || area->si1Valid > 1 || area->bandFlag > 1)
            __builtin_trap();
    }
    if (size >= kCellChanOctets) {
        auto desc = exactCopy<uint8_t>(data, kCellChanOctets);
        auto map = std::make_unique<uint8_t[]>(kArfcnMapBytes);
        decodeFreqList(desc.get(), map.get());
    }
    if (size >= 4) {
        auto sch = exactCopy<uint8_t>(data, 4);
        SchInfo info;
        if (parseSch(sch.get(), &info) && (info.t2 > 25 || info.t3 > 41 || info.bsic > 63))
            __builtin_trap();
    }
}

// Soft values from the input (one per octet), as the equaliser could send them, through the
// whole chain; the frame number comes from the input too.
void fuzzChannel(const uint8_t* data, size_t size)
{
    if (size < 2)
        return;
    BurstHead ctx{static_cast<int32_t>(data[0] % 4), 0, static_cast<uint16_t>(data[1] % 8)};
    data += 2;
    size -= 2;
    auto area = std::make_unique<DeintArea>();
    std::memset(area.get(), 0, sizeof(DeintArea));
    float soft[kBcchBurstBits] = {};
    for (size_t i = 0; i < size && i < kBcchBurstBits; ++i)
        soft[i] = (static_cast<int>(data[i]) - 128) * (kSoftMax / 128.0f);
    auto coded = std::make_unique<float[]>(kBcchCodedBits);
    if (!collectBits(soft, area.get(), &ctx, coded.get()))
        return;
    auto bits = std::make_unique<uint8_t[]>(kMaxDecodedBits);
    float metric = viterbiDecode(coded.get(), &ctx, bits.get());
    if (!std::isfinite(metric))
        __builtin_trap();
    uint8_t octets[kBlockOctets];
    if (checkParity(&ctx, bits.get()))
        packOctets(bits.get(), octets);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] & 1)
        fuzzChannel(data + 1, size - 1);
    else
        fuzzMessages(data + 1, size - 1);
    return 0;
}
