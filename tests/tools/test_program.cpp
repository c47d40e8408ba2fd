// The gsmsiggen program: files it writes and its answers to bad command lines.
#include "gsmsiggen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Outcome {
  int status;
  std::string out;
};

Outcome run(const std::string &args) {
  const std::string cmd = std::string(GSMSIGGEN_PROGRAM) + " " + args + " 2>&1";
  FILE *p = popen(cmd.c_str(), "r");
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int st = pclose(p);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

std::vector<char> readFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(Program, WritesComplexFloatMatchingTheLibrary) {
  const std::string path = ::testing::TempDir() + "/" + std::to_string(::getpid()) + "_sig.cf32";
  const Outcome r = run("--format cf32 --frames 3 --out " + path +
                    " --carrier fn=100,bsic=9,mcc=001,mnc=010,lac=0x10,ci=7,list=1+2+3,offset=500,timing=3.25");
  ASSERT_EQ(r.status, 0) << r.out;
  const auto bytes = readFile(path);
  std::remove(path.c_str());
  ASSERT_EQ(bytes.size(), 7500u * 8);
  gsmsig::Cell c;
  c.bsic = 9;
  c.mcc = 1;
  c.mnc = 10;
  c.lac = 0x10;
  c.ci = 7;
  c.channels = {1, 2, 3};
  gsmsig::Impairments imp;
  imp.carrierOffsetHz = 500;
  imp.timingOffsetSamples = 3.25;
  const auto x = gsmsig::generateFrames(c, 3, 100, imp);
  EXPECT_EQ(std::memcmp(bytes.data(), x.data(), bytes.size()), 0);
}

TEST(Program, RefusesBadCommandLines) {
  EXPECT_EQ(run("").status, 2);
  EXPECT_NE(run("").out.find("gsmsiggen: no --carrier given"), std::string::npos);
  const Outcome bad = run("--carrier ch=0,bsic=64");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.out.find("bad bsic '64' (0..63)"), std::string::npos) << bad.out;
  EXPECT_NE(run("--carrier mnc=1").out.find("MNC needs 2 or 3 digits: '1'"), std::string::npos);
  EXPECT_NE(run("--carrier tc3=0102").out.find("raw BCCH block needs 23 octets"), std::string::npos);
  const Outcome wide = run("--out /dev/null --carrier ch=6");
  EXPECT_EQ(wide.status, 1);
  EXPECT_NE(wide.out.find("carrier on channel 6 lies outside the window"), std::string::npos) << wide.out;
  const Outcome list = run("--out /dev/null --carrier list=0,list-format=bitmap0");
  EXPECT_EQ(list.status, 1);
  EXPECT_NE(list.out.find("channel list does not fit its format"), std::string::npos) << list.out;
}

} // namespace
