// This processor's answers to the queries slot selection needs.
#pragma once

#include "scan/cpu_select.h"

extern "C" const sigCpuProbe sigkHostCpuProbe;
