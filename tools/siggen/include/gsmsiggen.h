// gsmsiggen: synthesises the downlink of GSM broadcast carriers (C0) as complex baseband samples.
//
// What it makes, to 3GPP GSM:
//   - GMSK, BT 0.3, modulation index 1/2, with differential encoding (TS 45.004), at any sample
//     rate; at kTwoSpsRateHz (2 samples per symbol) one TDMA frame is exactly 2500 samples.
//   - Bursts (TS 45.002 5.2): frequency correction, synchronisation (extended training sequence),
//     normal bursts with TSC = BCC = BSIC & 7, dummy bursts.
//   - The 51-multiframe of timeslot 0 on C0: FCCH in FN mod 51 = 0, 10, 20, 30, 40; SCH in 1, 11,
//     21, 31, 41 (BSIC, T1, T2, T3'); BCCH in 2..5 by TC = (FN div 51) mod 8; CCCH blocks carrying
//     the LAPDm fill frame; frame 50 and timeslots 1..7 dummy bursts or silence.
//   - System Information 1, 2, 3, 4 (TS 44.018), the cell channel description in every list
//     format (bit map 0, range 1024/512/256/128, variable bit map), LAI/CI BCD digits (TS 24.008).
//   - SCH and BCCH channel coding by libosmocore (gsm0503_sch_encode, gsm0503_xcch_encode).
//   - Impairments: amplitude, carrier offset, phase, fractional timing offset, sample-clock error
//     (ppm), a second path (echo), seeded AWGN at a given SNR (deterministic).
//   - Several carriers on 200 kHz channels in a 2.4 MHz window, written as "swemu.wav" (44-byte
//     RIFF/WAVE header, 16-bit stereo I/Q, 2400000 samples/s) or as raw complex float.
//
// Link the static library `gsmsiggen` (CMake target; built only where libosmocore is installed,
// which a build with tests requires). Test-only: no deliverable links it.
//
// Typical uses:
//
//   // 40 frames of one cell at 2 samples per symbol, frame 0 starting at sample 0:
//   gsmsig::Cell cell;                       // MCC 001, MNC 01, LAC 1, CI 1, BSIC 0
//   cell.mcc = 250; cell.mnc = 1; cell.lac = 0x1234; cell.ci = 0x5678; cell.bsic = 0x2A;
//   cell.channels = {1, 10, 124};           // SI1 cell channel description
//   std::vector<std::complex<float>> x = gsmsig::generateFrames(cell, 40);
//
//   // The same with start frame, impairments and noise:
//   gsmsig::Impairments imp;
//   imp.carrierOffsetHz = 3000; imp.timingOffsetSamples = 123.4; imp.snrDb = 12; imp.seed = 7;
//   auto y = gsmsig::generateFrames(cell, 216, /*startFrame=*/7 * 51, imp);
//
//   // A multi-cell "swemu.wav" (exactly 2400000 samples, carriers at -400, 0, +400 kHz):
//   std::vector<gsmsig::WideCarrier> cs(3);
//   cs[0].channel = -2; cs[1].channel = 0; cs[2].channel = 2;  // each with its own .cell
//   std::string err;
//   bool ok = gsmsig::writeSwemuWav("swemu.wav", cs, gsmsig::WideOptions{}, &err);
//
// Conventions: baseband is exp(+j*phi), so the FCCH (all-zero bits) is a tone at +67.708 kHz.
// Sample n of a synthesised carrier lies at time (n - timingOffsetSamples) / sampleRateHz after
// the start of frame `startFrame`; frames before it are synthesised too (FN - 1, ...), so the
// signal is continuous across the whole buffer. Timeslot k starts at symbol
// {0, 157, 313, 469, 625, 782, 938, 1094}[k] of its frame (TS 45.010 156/157-symbol slots);
// a burst's 148 bits start at the slot's first symbol.
// Bits are bytes of value 0 or 1. Octets of a layer-2 block are those of TS 44.018 (octet 0 the
// L2 pseudo length); their bit order on the air is libosmocore's, i.e. that of TS 45.003.
#pragma once

#include <array>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace gsmsig {

using cf32 = std::complex<float>;
using Bits = std::vector<uint8_t>;
using Block23 = std::array<uint8_t, 23>;

// ---- Rates and frame numbering -----------------------------------------------------------------

inline constexpr double kSymbolRateHz = 1625000.0 / 6.0;     // 270833.333... symbols/s
inline constexpr double kTwoSpsRateHz = 2.0 * kSymbolRateHz; // 541666.666... (541666.6875 as float)
inline constexpr double kSwemuRateHz = 2400000.0;
inline constexpr int kSymbolsPerFrame = 1250;                // 8 x 156.25
inline constexpr int kBurstBits = 148;
inline constexpr uint32_t kHyperframe = 2715648;            // 26 x 51 x 2048
inline constexpr int kSlotStart[8] = {0, 157, 313, 469, 625, 782, 938, 1094};

struct FrameNumber {
  uint16_t t1, t2, t3; // FN div 1326, FN mod 26, FN mod 51
};
FrameNumber splitFrameNumber(uint32_t fn);

// Samples covering `frames` TDMA frames at `sampleRateHz` (rounded to nearest).
std::size_t samplesForFrames(double frames, double sampleRateHz = kTwoSpsRateHz);

// ---- Channel lists (TS 44.018 10.5.2.13 / 10.5.2.1b) -------------------------------------------

enum class ListFormat { automatic, bitmap0, range1024, range512, range256, range128, variableBitmap };
const char *listFormatName(ListFormat f);

// The 16 octets of a cell channel description (or neighbour cell description: `topBits` are ORed
// into octet 0, e.g. EXT-IND/BA-IND 0x20/0x10) listing `arfcns` (0..1023, duplicates ignored) in
// format `f`. `automatic` picks the first that fits of bit map 0, range 1024, 512, 256, 128,
// variable bit map. Empty when the list does not fit the format (or any format).
std::optional<std::array<uint8_t, 16>> encodeChannelList(const std::vector<int> &arfcns,
                                                          ListFormat f = ListFormat::automatic,
                                                          uint8_t topBits = 0);

// ---- The cell and its messages -----------------------------------------------------------------

enum class BcchContent : uint8_t { si1, si2, si3, si4, fill, raw };

struct BcchBlock {
  BcchContent content = BcchContent::fill;
  Block23 raw{}; // sent as it stands when content is raw
};

// Message of each TC = (FN div 51) mod 8 on the BCCH norm blocks (frames 2..5).
using BcchSchedule = std::array<BcchBlock, 8>;
// TS 45.002: SI1 TC 0, SI2 TC 1, SI3 TC 2 and 6, SI4 TC 3 and 7, fill frames in TC 4 and 5.
BcchSchedule standardSchedule();
// For one-second captures: SI1 in TC 0 and 1, SI3 in TC 2, 4, 6, SI4 in TC 3, 5, 7; with
// startFrame 0 a receiver that needs ~11 frames to synchronise gets SI1 in multiframe 1, SI3 in 2.
BcchSchedule fastSchedule();

enum class IdleFill { dummy, silence }; // timeslots 1..7 and TS0 frame 50

struct Cell {
  int mcc = 1;               // 0..999
  int mnc = 1;               // 0..99 (mncDigits 2) or 0..999 (mncDigits 3)
  int mncDigits = 2;
  uint16_t lac = 1;
  uint16_t ci = 1;
  uint8_t bsic = 0;          // NCC << 3 | BCC (0..63); TSC = BSIC & 7
  std::vector<int> channels; // SI1 cell channel description
  ListFormat channelFormat = ListFormat::automatic;
  std::vector<int> neighbours; // SI2 neighbour cell description (BA list)
  ListFormat neighbourFormat = ListFormat::automatic;
  uint8_t si1RestOctet = 0x2B;  // SI1 rest octets (0x2B: all L, no NCH, band indicator L)
  BcchSchedule schedule = standardSchedule();
  IdleFill idle = IdleFill::dummy;
};

// BCD location area identification, 5 octets (TS 24.008 10.5.1.3).
std::array<uint8_t, 5> encodeLai(int mcc, int mnc, int mncDigits, uint16_t lac);

// System Information messages, 23 octets each (L2 pseudo length first, then 0x06, type, ...).
// Empty when a channel list does not fit its format.
std::optional<Block23> si1(const Cell &c);
std::optional<Block23> si2(const Cell &c);
Block23 si3(const Cell &c);
Block23 si4(const Cell &c);
Block23 l2FillFrame(); // 03 03 01 2B ... : LAPDm fill frame

// The 23 octets the cell sends in the BCCH block of the multiframe with this TC (0..7).
// Empty when an SI message cannot be built.
std::optional<Block23> bcchMessage(const Cell &c, int tc);

// SCH information (TS 44.018 9.1.30): {bsic<<2 | t1>>9, t1>>1, (t1&1)<<7 | t2<<2 | t3'>>1, t3'&1}.
std::array<uint8_t, 4> schInfo(uint8_t bsic, uint32_t fn);

// ---- Coding and bursts (TS 45.003 by libosmocore, TS 45.002 layouts) ---------------------------

// 78 coded SCH bits; 4 x 116 coded BCCH bits (57 data, 2 stealing flags, 57 data per burst).
std::array<uint8_t, 78> encodeSch(const std::array<uint8_t, 4> &info);
std::array<uint8_t, 4 * 116> encodeXcch(const Block23 &l2);

const std::array<uint8_t, 64> &schTrainingBits();    // extended training sequence
const std::array<uint8_t, 26> &trainingBits(int tsc); // normal-burst TSC 0..7
const std::array<uint8_t, 148> &dummyBurstBits();

// 148-bit bursts.
std::array<uint8_t, 148> fcchBurst();
std::array<uint8_t, 148> schBurst(const std::array<uint8_t, 78> &coded);
std::array<uint8_t, 148> normalBurst(int tsc, const uint8_t *coded116);

// What timeslot 0 of C0 carries in frame `fn`: its 148 bits, or empty for silence.
std::optional<std::array<uint8_t, 148>> slot0Burst(const Cell &c, uint32_t fn);

// ---- GMSK (TS 45.004) --------------------------------------------------------------------------

// Modulates bits (differentially encoded first; the bit before bits[0] is taken as 1) into
// `bits.size() * samplesPerSymbol` samples (rounded) of exp(j*phi): sample n at symbol time
// n / samplesPerSymbol - delaySymbols, bit i centred on symbol time i + 0.5. Unit amplitude.
// The phase starts at 0 and does not move before the first bit.
std::vector<cf32> gmskModulate(const Bits &bits, double samplesPerSymbol, double delaySymbols = 0);

// Phase response q(t) of the GMSK frequency pulse (0 -> 1 across the pulse), t in symbols from
// the centre of the bit; the phase is pi/2 * sum of alpha_i * q(t - i).
double gmskPhaseResponse(double tSymbols);

// ---- One carrier -------------------------------------------------------------------------------

struct Echo {
  double delaySymbols = 0; // second path later than the first by this many symbols
  double gain = 0;         // linear, relative to the first path (0: no echo)
  double phaseRad = 0;
};

struct Impairments {
  double amplitude = 1.0;           // of the first path
  double carrierOffsetHz = 0;       // added to the carrier frequency
  double phaseRad = 0;              // carrier phase at sample 0
  double timingOffsetSamples = 0;   // frame startFrame begins at this (fractional) sample
  double sampleClockPpm = 0;        // the transmitter's symbol clock runs fast by this much
  double snrDb = std::numeric_limits<double>::infinity(); // amplitude^2 / complex noise power
  uint64_t seed = 1;                // noise seed; same seed, same samples
  Echo echo;
};

// `numSamples` samples of the carrier at `sampleRateHz`, frame numbers counting from
// `startFrame` (mod the hyperframe). Throws std::invalid_argument on a cell that cannot be coded
// (a channel list that fits no format, BSIC > 63, ...).
std::vector<cf32> synthesize(const Cell &c, uint32_t startFrame, std::size_t numSamples,
                             double sampleRateHz = kTwoSpsRateHz, const Impairments &imp = {});

// `frames` TDMA frames at 2 samples per symbol (2500 samples each).
std::vector<cf32> generateFrames(const Cell &c, int frames, uint32_t startFrame = 0,
                                 const Impairments &imp = {});

// ---- Several carriers in one window ------------------------------------------------------------

struct WideCarrier {
  Cell cell;
  int channel = 0;         // centre offset channel * 200 kHz
  uint32_t startFrame = 0;
  Impairments imp;         // imp.amplitude relative, see WideOptions::amplitudeScale
};

struct WideOptions {
  double sampleRateHz = kSwemuRateHz;
  std::size_t numSamples = 2400000;
  double noiseRms = 0.5;   // complex white noise over the window, rms per component (LSB)
  uint64_t seed = 1;
  // A carrier's amplitude in LSB is imp.amplitude * amplitudeScale. 0 (the default) gives the
  // carriers 8 LSB between them (8 / number of carriers each): a weak recording that still uses
  // several LSB.
  double amplitudeScale = 0;
};

// Sum of the carriers plus noise (units: LSB). Throws std::invalid_argument when a carrier's
// channel does not fit in the window or its cell cannot be coded.
std::vector<cf32> synthesizeWideband(const std::vector<WideCarrier> &carriers,
                                     const WideOptions &opt = {});

// 16-bit I/Q, rounded to nearest, saturated.
std::vector<int16_t> toInt16(const std::vector<cf32> &x);

// The 44-byte header of a 16-bit stereo WAV holding `frames` samples at `rateHz`.
std::array<uint8_t, 44> wavHeader(uint32_t frames, uint32_t rateHz);

// "swemu.wav" for the file receiver: header + toInt16(synthesizeWideband(...)); opt.sampleRateHz
// must be an integer. Raw complex float: interleaved little-endian float32 I, Q, no header.
// Return false with a message in *err on failure (bad arguments, file not writable).
bool writeSwemuWav(const std::string &path, const std::vector<WideCarrier> &carriers,
                   const WideOptions &opt = {}, std::string *err = nullptr);
bool writeComplexFloat(const std::string &path, const std::vector<cf32> &x,
                       std::string *err = nullptr);

} // namespace gsmsig
