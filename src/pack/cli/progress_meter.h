// A one-line progress bar on standard error (bytes, rate, time left), drawn
// only on a terminal, and the byte and time formats of the summary line.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

struct ProgressMeter {
    bool enabled = false;
    const char* phase = "";
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
};

void StartProgress(ProgressMeter* meter, const char* phase, bool enabled);
void UpdateProgress(ProgressMeter* meter, uint64_t done, uint64_t total);
void FinishProgress(ProgressMeter* meter);   // clears the bar's line

std::string FormatBytes(uint64_t bytes);     // "812 B", "1.5 KiB", "12.3 MiB"
std::string FormatSeconds(double seconds);   // "0.8 s", "1:05"
