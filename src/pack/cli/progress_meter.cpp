#include "pack/cli/progress_meter.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

typedef std::chrono::steady_clock Clock;

static const auto REDRAW_INTERVAL = std::chrono::milliseconds(100);
static const size_t MIN_BAR_WIDTH = 10, MAX_BAR_WIDTH = 30;

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

void StartProgress(ProgressMeter* meter, const char* phase, ProgressStyle style) {
    meter->style = style;
    meter->phase = phase;
    meter->start = Clock::now();
    meter->drawn = false;
    meter->tenthsShown = 0;
}

// The line for the terminal's width, short of its last column (writing there
// wraps the line on some terminals): what does not fit is left out, the
// sizes first, then the rate, then the time left, then the bar.
static std::string ProgressLine(const char* phase, uint64_t done, uint64_t total, double rate, size_t width) {
    char head[32];
    snprintf(head, sizeof(head), "%-11s ", phase);
    char percent[8];
    snprintf(percent, sizeof(percent), "%3d%%", (int)(100 * done / total));
    std::string sizes = "  " + FormatBytes(done) + " / " + FormatBytes(total);
    std::string speed = "  " + FormatBytes((uint64_t)rate) + "/s";
    std::string left = rate > 0 ? "  " + FormatSeconds((double)(total - done) / rate) + " left" : "";
    auto textLength = [&] { return strlen(head) + strlen(percent) + sizes.size() + speed.size() + left.size(); };
    for (std::string* part : {&sizes, &speed, &left})
        if (textLength() + MIN_BAR_WIDTH + 3 > width) part->clear();
    std::string line = head;
    size_t room = width > textLength() + 3 ? width - textLength() - 3 : 0;
    if (room >= MIN_BAR_WIDTH) {
        size_t barWidth = room < MAX_BAR_WIDTH ? room : MAX_BAR_WIDTH;
        size_t filled = (size_t)(barWidth * done / total);
        line += "[" + std::string(filled, '#') + std::string(barWidth - filled, ' ') + "] ";
    }
    line += percent + sizes + speed + left;
    if (line.size() > width) line.resize(width);
    return line;
}

// A line for each tenth reached since the last one, so that a log shows
// every tenth once, whatever steps the work reports in.
static void ShowTenths(ProgressMeter* meter, uint64_t done, uint64_t total) {
    if (total <= PROGRESS_LINES_FROM) return;
    int tenths = (int)(10 * done / total);
    double elapsed = std::chrono::duration<double>(Clock::now() - meter->start).count();
    while (meter->tenthsShown < tenths) {
        ++meter->tenthsShown;
        fprintf(stderr, "sfxpack: %s %d%% of %s, %s\n", meter->phase, 10 * meter->tenthsShown,
                FormatBytes(total).c_str(), FormatSeconds(elapsed).c_str());
    }
    fflush(stderr);
}

void UpdateProgress(ProgressMeter* meter, uint64_t done, uint64_t total) {
    if (meter->style == PROGRESS_NONE || total == 0) return;
    if (meter->style == PROGRESS_LINES) return ShowTenths(meter, done, total);
    Clock::time_point now = Clock::now();
    if (meter->drawn && now - meter->lastDrawn < REDRAW_INTERVAL) return;
    meter->lastDrawn = now;
    meter->drawn = true;
    double elapsed = std::chrono::duration<double>(now - meter->start).count();
    double rate = elapsed > 0 ? (double)done / elapsed : 0;
    int columns = TerminalColumns();
    std::string line = ProgressLine(meter->phase, done, total, rate, columns > 1 ? (size_t)columns - 1 : 1);
    fprintf(stderr, "\r%s\033[K", line.c_str());
    fflush(stderr);
}

void FinishProgress(ProgressMeter* meter) {
    if (meter->style == PROGRESS_BAR && meter->drawn) fprintf(stderr, "\r\033[K");
    meter->drawn = false;
}
