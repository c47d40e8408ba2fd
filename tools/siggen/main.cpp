// gsmsiggen: writes GSM broadcast carriers as "swemu.wav" or raw complex float.
#include "gsmsiggen.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char *kUsage =
    "usage: gsmsiggen [options] --carrier SPEC [--carrier SPEC ...]\n"
    "  --out FILE          output file (default swemu.wav, or signal.cf32 with --format cf32)\n"
    "  --format wav|cf32   16-bit stereo WAV (default) or raw interleaved float32 I/Q\n"
    "  --rate HZ           sample rate (default 2400000; cf32: 541666.67, 2 samples/symbol)\n"
    "  --samples N | --frames N | --seconds S   length (default 2400000 samples for WAV)\n"
    "  --noise RMS         window noise per component (default 0.5 LSB for WAV, 0 for cf32)\n"
    "  --seed N            window noise seed (default 1)\n"
    "  --scale X           carrier amplitude unit (default: WAV 8 LSB shared, cf32 1.0)\n"
    "SPEC: comma-separated key=value:\n"
    "  ch=N (200 kHz channels from the centre) fn=N (start frame) bsic=N mcc=NNN mnc=NN|NNN\n"
    "  lac=N ci=N (0x.. for hex) list=A+B+.. list-format=F neigh=A+B+.. neigh-format=F\n"
    "  (F: auto bitmap0 range1024 range512 range256 range128 variable)\n"
    "  schedule=standard|fast tcK=si1|si2|si3|si4|fill|<46 hex digits> (K = 0..7)\n"
    "  idle=dummy|silence si1rest=0xNN\n"
    "  amp=X offset=HZ phase=RAD timing=SAMPLES ppm=X snr=DB seed=N echo=DELAY:GAIN[:PHASE]\n";

[[noreturn]] void usageError(const std::string &msg) {
  std::fprintf(stderr, "gsmsiggen: %s\n%s", msg.c_str(), kUsage);
  std::exit(2);
}

long toInt(const std::string &s, const std::string &what, long lo, long hi) {
  errno = 0;
  char *end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 0);
  if (s.empty() || *end || errno || v < lo || v > hi)
    usageError("bad " + what + " '" + s + "' (" + std::to_string(lo) + ".." + std::to_string(hi) + ")");
  return v;
}

double toDouble(const std::string &s, const std::string &what) {
  errno = 0;
  char *end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (s.empty() || *end || errno || !std::isfinite(v)) usageError("bad " + what + " '" + s + "'");
  return v;
}

// Digits read as decimal ("010" is ten, not octal as strtol base 0 would take it).
std::string decimal(const std::string &s, const std::string &what) {
  if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos)
    usageError(what + " must be decimal digits: '" + s + "'");
  const std::size_t nz = s.find_first_not_of('0');
  return nz == std::string::npos ? "0" : s.substr(nz);
}

std::vector<std::string> split(const std::string &s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = s.find(sep, start);
    parts.push_back(s.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::vector<int> toList(const std::string &s) {
  std::vector<int> list;
  if (s.empty()) return list;
  for (const auto &a : split(s, '+')) list.push_back(static_cast<int>(toInt(a, "ARFCN", 0, 1023)));
  return list;
}

gsmsig::ListFormat toFormat(const std::string &s) {
  using F = gsmsig::ListFormat;
  static const std::map<std::string, F> names = {
      {"auto", F::automatic},      {"bitmap0", F::bitmap0},   {"range1024", F::range1024},
      {"range512", F::range512},   {"range256", F::range256}, {"range128", F::range128},
      {"variable", F::variableBitmap}};
  const auto it = names.find(s);
  if (it == names.end()) usageError("unknown list format '" + s + "'");
  return it->second;
}

gsmsig::BcchBlock toBlock(const std::string &s) {
  using C = gsmsig::BcchContent;
  static const std::map<std::string, C> names = {
      {"si1", C::si1}, {"si2", C::si2}, {"si3", C::si3}, {"si4", C::si4}, {"fill", C::fill}};
  gsmsig::BcchBlock b;
  if (const auto it = names.find(s); it != names.end()) {
    b.content = it->second;
    return b;
  }
  if (s.size() != 46) usageError("raw BCCH block needs 23 octets (46 hex digits): '" + s + "'");
  b.content = C::raw;
  for (std::size_t i = 0; i < 23; ++i)
    b.raw[i] = static_cast<uint8_t>(toInt("0x" + s.substr(2 * i, 2), "octet", 0, 255));
  return b;
}

gsmsig::WideCarrier toCarrier(const std::string &spec) {
  gsmsig::WideCarrier wc;
  gsmsig::Cell &c = wc.cell;
  gsmsig::Impairments &imp = wc.imp;
  for (const auto &item : split(spec, ',')) {
    const std::size_t eq = item.find('=');
    if (eq == std::string::npos) usageError("carrier item '" + item + "' is not key=value");
    const std::string k = item.substr(0, eq), v = item.substr(eq + 1);
    if (k == "ch") wc.channel = static_cast<int>(toInt(v, k, -64, 64));
    else if (k == "fn") wc.startFrame = static_cast<uint32_t>(toInt(v, k, 0, gsmsig::kHyperframe - 1));
    else if (k == "bsic") c.bsic = static_cast<uint8_t>(toInt(v, k, 0, 63));
    else if (k == "mcc") c.mcc = static_cast<int>(toInt(decimal(v, k), k, 0, 999));
    else if (k == "mnc") {
      if (v.size() != 2 && v.size() != 3) usageError("MNC needs 2 or 3 digits: '" + v + "'");
      c.mncDigits = static_cast<int>(v.size());
      c.mnc = static_cast<int>(toInt(decimal(v, k), k, 0, 999));
    } else if (k == "lac") c.lac = static_cast<uint16_t>(toInt(v, k, 0, 65535));
    else if (k == "ci") c.ci = static_cast<uint16_t>(toInt(v, k, 0, 65535));
    else if (k == "list") c.channels = toList(v);
    else if (k == "list-format") c.channelFormat = toFormat(v);
    else if (k == "neigh") c.neighbours = toList(v);
    else if (k == "neigh-format") c.neighbourFormat = toFormat(v);
    else if (k == "schedule") {
      if (v == "standard") c.schedule = gsmsig::standardSchedule();
      else if (v == "fast") c.schedule = gsmsig::fastSchedule();
      else usageError("unknown schedule '" + v + "'");
    } else if (k.size() == 3 && k.compare(0, 2, "tc") == 0 && k[2] >= '0' && k[2] <= '7')
      c.schedule[static_cast<std::size_t>(k[2] - '0')] = toBlock(v);
    else if (k == "idle") {
      if (v == "dummy") c.idle = gsmsig::IdleFill::dummy;
      else if (v == "silence") c.idle = gsmsig::IdleFill::silence;
      else usageError("idle is dummy or silence");
    } else if (k == "si1rest") c.si1RestOctet = static_cast<uint8_t>(toInt(v, k, 0, 255));
    else if (k == "amp") imp.amplitude = toDouble(v, k);
    else if (k == "offset") imp.carrierOffsetHz = toDouble(v, k);
    else if (k == "phase") imp.phaseRad = toDouble(v, k);
    else if (k == "timing") imp.timingOffsetSamples = toDouble(v, k);
    else if (k == "ppm") imp.sampleClockPpm = toDouble(v, k);
    else if (k == "snr") imp.snrDb = toDouble(v, k);
    else if (k == "seed") imp.seed = static_cast<uint64_t>(toInt(v, k, 0, 0x7FFFFFFFFFFFFFFFL));
    else if (k == "echo") {
      const auto p = split(v, ':');
      if (p.size() < 2 || p.size() > 3) usageError("echo is DELAY:GAIN[:PHASE]");
      imp.echo.delaySymbols = toDouble(p[0], "echo delay");
      imp.echo.gain = toDouble(p[1], "echo gain");
      if (p.size() == 3) imp.echo.phaseRad = toDouble(p[2], "echo phase");
    } else usageError("unknown carrier key '" + k + "'");
  }
  return wc;
}

} // namespace

int main(int argc, char **argv) {
  std::string out, format = "wav";
  double rate = 0, seconds = -1, frames = -1, noise = -1, scale = -1;
  long samples = -1;
  uint64_t seed = 1;
  std::vector<gsmsig::WideCarrier> carriers;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) usageError("option " + a + " needs a value");
    const std::string v = argv[++i];
    if (a == "--out") out = v;
    else if (a == "--format") format = v;
    else if (a == "--rate") rate = toDouble(v, "rate");
    else if (a == "--samples") samples = toInt(v, "sample count", 1, 1L << 40);
    else if (a == "--frames") frames = toDouble(v, "frame count");
    else if (a == "--seconds") seconds = toDouble(v, "duration");
    else if (a == "--noise") noise = toDouble(v, "noise");
    else if (a == "--seed") seed = static_cast<uint64_t>(toInt(v, "seed", 0, 0x7FFFFFFFFFFFFFFFL));
    else if (a == "--scale") scale = toDouble(v, "scale");
    else if (a == "--carrier") carriers.push_back(toCarrier(v));
    else usageError("unknown option " + a);
  }
  if (format != "wav" && format != "cf32") usageError("format is wav or cf32");
  if (carriers.empty()) usageError("no --carrier given");
  const bool wav = format == "wav";
  gsmsig::WideOptions opt;
  opt.sampleRateHz = rate > 0 ? rate : wav ? gsmsig::kSwemuRateHz : gsmsig::kTwoSpsRateHz;
  opt.numSamples = samples > 0    ? static_cast<std::size_t>(samples)
                   : frames >= 0  ? gsmsig::samplesForFrames(frames, opt.sampleRateHz)
                   : seconds >= 0 ? static_cast<std::size_t>(std::llround(seconds * opt.sampleRateHz))
                                  : static_cast<std::size_t>(std::llround(opt.sampleRateHz));
  opt.noiseRms = noise >= 0 ? noise : wav ? 0.5 : 0.0;
  opt.seed = seed;
  opt.amplitudeScale = scale > 0 ? scale : wav ? 0.0 : 1.0;
  if (out.empty()) out = wav ? "swemu.wav" : "signal.cf32";

  std::string err;
  bool ok;
  if (wav) {
    ok = gsmsig::writeSwemuWav(out, carriers, opt, &err);
  } else {
    try {
      ok = gsmsig::writeComplexFloat(out, gsmsig::synthesizeWideband(carriers, opt), &err);
    } catch (const std::exception &e) {
      ok = false;
      err = e.what();
    }
  }
  if (!ok) {
    std::fprintf(stderr, "gsmsiggen: %s\n", err.c_str());
    return 1;
  }
  std::printf("gsmsiggen: wrote %zu samples at %.3f Hz to %s\n", opt.numSamples, opt.sampleRateHz,
              out.c_str());
  return 0;
}
