#include "sdr_list.h"

#include <unistd.h>

#include "rtl_sdr.h"
#include "swemu_sdr.h"

std::vector<SdrDesc> sdrList;

const std::vector<SdrDesc>& findSdrs()
{
    sdrList.clear();
    findRtlSdrs(sdrList);
    addSwemu();
    return sdrList;
}

void addSwemu()
{
    // Existence only: the content is examined when the receiver is made.
    if (access(SwemuSdr::kFileName, F_OK) == 0)
        sdrList.push_back(swemuDesc);
}

std::unique_ptr<AbstSdr> createSdr(const std::string& name)
{
    for (const SdrDesc& desc : sdrList) {
        if (desc.name != name)
            continue;
        switch (desc.type) {
        case kSdrFile: return std::make_unique<SwemuSdr>(name);
        case kSdrRtl: return std::make_unique<RtlSdr>(name);
        default: return nullptr;
        }
    }
    return nullptr;
}
