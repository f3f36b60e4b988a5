#include "pack/cli/progress_meter.h"

#include <cstdio>

typedef std::chrono::steady_clock Clock;

static const auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
static const int BAR_WIDTH = 24;

std::string FormatBytes(uint64_t bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB"};
    double value = (double)bytes;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    snprintf(text, sizeof(text), unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

std::string FormatSeconds(double seconds) {
    char text[32];
    if (seconds < 60) snprintf(text, sizeof(text), "%.1f s", seconds);
    else snprintf(text, sizeof(text), "%d:%02d", (int)seconds / 60, (int)seconds % 60);
    return text;
}

void StartProgress(ProgressMeter* meter, const char* phase, bool enabled) {
    meter->enabled = enabled;
    meter->phase = phase;
    meter->start = Clock::now();
    meter->drawn = false;
}

void UpdateProgress(ProgressMeter* meter, uint64_t done, uint64_t total) {
    if (!meter->enabled || total == 0) return;
    Clock::time_point now = Clock::now();
    if (meter->drawn && now - meter->lastDrawn < REDRAW_INTERVAL) return;
    meter->lastDrawn = now;
    meter->drawn = true;
    double elapsed = std::chrono::duration<double>(now - meter->start).count();
    double rate = elapsed > 0 ? (double)done / elapsed : 0;
    int filled = (int)(BAR_WIDTH * done / total);
    std::string bar = std::string((size_t)filled, '#') + std::string((size_t)(BAR_WIDTH - filled), ' ');
    std::string left = rate > 0 ? FormatSeconds((double)(total - done) / rate) + " left" : "";
    fprintf(stderr, "\r%-12s [%s] %3d%%  %s / %s  %s/s  %s\033[K", meter->phase, bar.c_str(), (int)(100 * done / total),
            FormatBytes(done).c_str(), FormatBytes(total).c_str(), FormatBytes((uint64_t)rate).c_str(), left.c_str());
    fflush(stderr);
}

void FinishProgress(ProgressMeter* meter) {
    if (meter->enabled && meter->drawn) fprintf(stderr, "\r\033[K");
    meter->drawn = false;
}

void ProgressCallback(void* meter, uint64_t done, uint64_t total) {
    UpdateProgress((ProgressMeter*)meter, done, total);
}
