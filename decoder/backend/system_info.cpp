// SCH information and the radio-resource System Information messages of the BCCH.
#include "backend/system_info.h"

#include "backend/freq_list.h"

bool parseSch(const uint8_t* o, SchInfo* info)
{
    unsigned t2 = (o[2] >> 2) & 31u;
    unsigned t3p = ((o[2] & 3u) << 1) | (o[3] & 1u);
    if (t2 > 25 || t3p > 4)
        return false;
    info->bsic = static_cast<uint16_t>(o[0] >> 2);
    info->t1 = static_cast<uint16_t>(((o[0] & 3u) << 9) | (o[1] << 1) | (o[2] >> 7));
    info->t2 = static_cast<uint16_t>(t2);
    info->t3 = static_cast<uint16_t>(10 * t3p + 1);
    return true;
}

namespace {

constexpr uint8_t kRrDiscriminator = 6; // radio resources management (TS 24.007)

using SiHandler = bool (*)(uint16_t type, const uint8_t* body, SiArea* area);

struct RrRow {
    uint16_t type;
    SiHandler handler;
};

// Searched in this order; the first match handles the message.
constexpr RrRow kRrTable[] = {
    {0x19, onSi1},     {0x1A, onSiOther}, {0x02, onSiOther}, {0x03, onSiOther}, {0x07, onSiOther},
    {0x45, onSiOther}, {0x1B, onSi3Si6},  {0x1C, onSi4},     {0x1D, onSiOther}, {0x05, onSiOther},
    {0x06, onSiOther}, {0x1E, onSi3Si6},  {0x1F, onSiOther}, {0x18, onSiOther}, {0x04, onSiOther},
    {0x00, onSiOther}, {0x44, onSiOther}, {0x01, onSiOther}, {0x43, onSiOther}, {0x3D, onSiOther},
    {0x3E, onSiOther}, {0x40, onSiOther}, {0x41, onSiOther}, {0x42, onSiOther},
};

} // namespace

bool parseRr(const uint8_t* octets, SiArea* area)
{
    // octets[0] is the L2 pseudo length; the skip indicator (high nibble of octets[1]) is ignored.
    if ((octets[1] & 0x0F) != kRrDiscriminator)
        return false;
    for (const RrRow& row : kRrTable)
        if (row.type == octets[2])
            return row.handler(row.type, octets + 3, area);
    return false;
}

bool onSi1(uint16_t, const uint8_t* body, SiArea* area)
{
    area->si1Valid = 1;
    decodeFreqList(body, area->arfcnMap);
    // body[16..18]: RACH control parameters. body[19]: first SI1 rest octet, whose band
    // indicator follows the NCH position when that is present.
    uint8_t rest = body[19];
    area->bandFlag = (rest & 0x80) ? (rest >> 1) & 1 : (rest >> 6) & 1;
    return true;
}

bool onSi3Si6(uint16_t, const uint8_t* body, SiArea* area)
{
    area->ciValid = 1;
    area->ci = static_cast<uint16_t>((body[0] << 8) | body[1]);
    parseLai(body + 2, &area->laiValid, &area->mcc, &area->mnc, &area->lac);
    return true;
}

bool onSi4(uint16_t, const uint8_t* body, SiArea* area)
{
    parseLai(body, &area->laiValid, &area->mcc, &area->mnc, &area->lac);
    return true;
}

bool onSiOther(uint16_t, const uint8_t*, SiArea*)
{
    return true;
}

void parseLai(const uint8_t* l, uint8_t* valid, uint16_t* mcc, uint16_t* mnc, uint16_t* lac)
{
    // TS 24.008: digits packed low nibble first (MCC 2|1, MNC 3|MCC 3, MNC 2|1).
    *valid = 1;
    *mcc = static_cast<uint16_t>(((l[0] & 0x0F) << 8) | (l[0] & 0xF0) | (l[1] & 0x0F));
    *mnc = static_cast<uint16_t>(((l[2] & 0x0F) << 8) | (l[2] & 0xF0) | (l[1] >> 4));
    *lac = static_cast<uint16_t>((l[3] << 8) | l[4]);
}

void readBits(uint16_t* fields, int count, const uint8_t* widths, int* remaining,
              const uint8_t** octet)
{
    const uint8_t* p = *octet;
    int rem = *remaining;
    if (rem <= 0) {
        ++p;
        rem = 8;
    }
    for (int f = 0; f < count; ++f) {
        int need = widths[f];
        unsigned value = 0;
        while (need > 0) {
            int take = need < rem ? need : rem;
            value = (value << take) | ((*p >> (rem - take)) & ((1u << take) - 1));
            need -= take;
            rem -= take;
            if (rem == 0) {
                ++p;
                rem = 8;
            }
        }
        fields[f] = static_cast<uint16_t>(value);
    }
    *remaining = rem;
    *octet = p;
}
