// The receivers offered to the user, and the factory that opens one by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdr.h"

// The process-wide list: dongles in device-index order, then "SWEMU" when "swemu.wav" exists.
extern std::vector<SdrDesc> sdrList;

const std::vector<SdrDesc>& findSdrs();
void addSwemu();
// A new receiver for the list entry with exactly this name; null for no such entry or a type
// that makes no receiver. The receiver's own constructor failures pass through as exceptions.
std::unique_ptr<AbstSdr> createSdr(const std::string& name);
