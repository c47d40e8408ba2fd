// Helpers for the scanner tests: a private working directory, WAV files, stdout capture.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// Runs a test in a fresh temporary directory (the scanner reads and writes its working dir).
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/scannertest-XXXXXX";
        path_ = mkdtemp(tmpl);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempDir()
    {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(path_);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::filesystem::path old_;
};

struct WavSpec {
    uint32_t rate = 2400000;
    uint16_t channels = 2;
    uint16_t bits = 16;
    int32_t riffDelta = 0;        // added to the RIFF size field
    int32_t dataDelta = 0;        // added to the data size field
    const char* riff = "RIFF";
};

// Writes a 16-bit WAV whose samples are the given int16 values.
inline void writeWav(const char* name, const std::vector<int16_t>& values, const WavSpec& spec = {})
{
    FILE* f = std::fopen(name, "wb");
    ASSERT_NE(f, nullptr);
    uint32_t data = uint32_t(values.size() * 2);
    auto put32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto put16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite(spec.riff, 1, 4, f);
    put32(data + 36 + uint32_t(spec.riffDelta));
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(spec.channels);
    put32(spec.rate);
    put32(spec.rate * spec.channels * spec.bits / 8);
    put16(uint16_t(spec.channels * spec.bits / 8));
    put16(spec.bits);
    std::fwrite("data", 1, 4, f);
    put32(data + uint32_t(spec.dataDelta));
    std::fwrite(values.data(), 2, values.size(), f);
    std::fclose(f);
}

// Ramp of n complex samples: I = k mod 30000, Q = -(k mod 30000).
inline std::vector<int16_t> rampIq(int n)
{
    std::vector<int16_t> v(2 * size_t(n));
    for (int k = 0; k < n; ++k) {
        v[2 * size_t(k)] = int16_t(k % 30000);
        v[2 * size_t(k) + 1] = int16_t(-(k % 30000));
    }
    return v;
}
