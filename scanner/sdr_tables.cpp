#include "sdr.h"

const SdrDesc sdrTable[kSdrTableRows] = {
    {"RTLSDR E4000", kSdrRtl, 2.4f, 0.08f, 52.0f, 2200.0f, 0.0f, 49.6f, 4},
    {"RTLSDR FC0012", kSdrRtl, 2.4f, 0.08f, 22.0f, 949.0f, 0.0f, 49.6f, 4},
    {"RTLSDR FC0013", kSdrRtl, 2.4f, 0.08f, 22.0f, 1100.0f, 0.0f, 49.6f, 4},
    {"RTLSDR FC2580", kSdrRtl, 2.4f, 0.08f, 438.0f, 924.0f, 0.0f, 49.6f, 4},
    {"RTLSDR R820T", kSdrRtl, 2.4f, 0.08f, 24.0f, 1890.0f, 0.0f, 49.6f, 4},
    {"RTLSDR R828D", kSdrRtl, 2.4f, 0.08f, 24.0f, 1760.0f, 0.0f, 49.6f, 4},
    {"", 0, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0},
};

const SdrDesc swemuDesc = {"SWEMU", kSdrFile, 2.4f, 0.12f, 1.0f, 6000.0f, 0.0f, 0.0f, 1};

const char* const tunerNames[kTunerNameCount] = {"UNKNOWN", "E4000", "FC0012", "FC0013",
                                                 "FC2580", "R820T", "R828D"};

const BandDesc bandTable[kBandCount] = {
    {"GSM 900", 975, 174, 925.2f, 0.2f},
    {"GSM 1800", 512, 374, 1805.2f, 0.2f},
};

const OpColor opColors[kOpColorCount] = {
    {1, "MTS", 236, 29, 35},   {99, "Beeline", 255, 225, 0}, {2, "Megafon", 0, 153, 91},
    {6, "SkyLink", 0, 174, 200}, {11, "Yota", 0, 172, 239}, {20, "Tele2", 0, 0, 0},
    {-1, "Unknown", 192, 192, 192},
};
