// Progress on standard error: on a terminal a one-line bar (bytes, rate, time
// left) drawn over itself; elsewhere (a CI log) a plain line at each tenth of
// a phase that has more than 8 MiB to go through. And the byte and time
// formats of the summary line.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

enum ProgressStyle { PROGRESS_NONE, PROGRESS_BAR, PROGRESS_LINES };

// The least work that shows progress lines: below it a phase ends too soon to need them.
constexpr uint64_t PROGRESS_LINES_FROM = 8u << 20;

struct ProgressMeter {
    ProgressStyle style = PROGRESS_NONE;
    const char* phase = "";
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDrawn;
    bool drawn = false;
    int tenthsShown = 0;   // the lines of this phase so far
};

void StartProgress(ProgressMeter* meter, const char* phase, ProgressStyle style);
void UpdateProgress(ProgressMeter* meter, uint64_t done, uint64_t total);
void FinishProgress(ProgressMeter* meter);   // clears the bar's line

std::string FormatBytes(uint64_t bytes);     // "812 B", "1.5 KiB", "12.3 MiB"
std::string FormatSeconds(double seconds);   // "0.8 s", "1:05"
