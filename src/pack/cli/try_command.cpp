// sfxpack try: runs the installer under Wine, in a throwaway prefix, says what
// it did and where that differs from what its archive says.
#include <cstdio>

#include "pack/cli/commands.h"
#include "pack/cli/json_writer.h"
#include "pack/trial/trial.h"

namespace {

enum { JSON_SCHEMA_VERSION = 1 };

const char* ChangeName(TrialChangeKind change) {
    return change == CHANGE_CREATED ? "created" : change == CHANGE_CHANGED ? "changed" : "removed";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

void Note(const std::string& message) { fprintf(stderr, "sfxpack: %s\n", TerminalText(message).c_str()); }

std::string ChangeLine(const TrialChange& change) {
    std::string line = std::string(ChangeName(change.change)) + "  " + change.path + (change.folder ? "\\" : "");
    if (!change.folder) line += "  " + std::to_string(change.size) + " bytes";
    if (change.asPacked) line += *change.asPacked ? ", as packed" : ", not as packed";
    return line;
}

void PrintReport(const std::string& path, const TrialReport& report, bool quiet) {
    if (!quiet) {
        char seconds[32];
        snprintf(seconds, sizeof(seconds), "%.1f s", report.seconds);
        PrintLine(path + ": ran under Wine, as on Windows 10, for " + seconds + ": " +
                  (report.exitCode ? "exit code " + std::to_string(*report.exitCode) : "stopped"));
        for (const TrialBox& box : report.boxes) PrintLine("box " + Quoted(box.caption) + ": " + Quoted(box.text));
        for (const TrialChange& change : report.installed) PrintLine(ChangeLine(change));
        for (const TrialShortcut& shortcut : report.shortcuts)
            PrintLine("shortcut " + shortcut.path + ": " + shortcut.target + ", in " + shortcut.workingDirectory +
                      (shortcut.icon.empty() ? "" : ", icon " + shortcut.icon) + ", " + Quoted(shortcut.description));
        for (const TrialStart& start : report.started)
            PrintLine("started " + start.command + " in " + start.directory +
                      (start.runningAtEnd ? " (still running when the installer ended: stopped)" : ""));
        if (report.leftAfterRun && report.leftAfterRun->empty()) PrintLine("left after the temporary run: nothing");
        if (!report.keptFolder.empty()) PrintLine("kept: " + report.keptFolder + " (the prefix and wine.log)");
    }
    for (const std::string& problem : report.problems) PrintLine("problem: " + problem);
    if (!quiet) PrintLine(path + ": " + (report.problems.empty() ? "pass" : "fail"));
}

void WriteJsonReport(JsonWriter* writer, const std::string& path, const TrialReport& report) {
    BeginJsonObject(writer);
    WriteJsonNumber(writer, "schema_version", JSON_SCHEMA_VERSION);
    WriteJsonString(writer, "installer", path);
    if (report.exitCode) WriteJsonNumber(writer, "exit_code", *report.exitCode);
    else WriteJsonNull(writer, "exit_code");
    BeginJsonArray(writer, "boxes");
    for (const TrialBox& box : report.boxes) {
        BeginJsonObject(writer);
        WriteJsonString(writer, "caption", box.caption);
        WriteJsonString(writer, "text", box.text);
        EndJsonObject(writer);
    }
    EndJsonArray(writer);
    BeginJsonArray(writer, "installed");
    for (const TrialChange& change : report.installed) {
        BeginJsonObject(writer);
        WriteJsonString(writer, "path", change.path);
        WriteJsonString(writer, "change", ChangeName(change.change));
        WriteJsonString(writer, "kind", change.folder ? "directory" : "file");
        WriteJsonNumber(writer, "size", change.folder ? 0 : (int64_t)change.size);
        if (change.asPacked) WriteJsonBool(writer, "as_packed", *change.asPacked);
        else WriteJsonNull(writer, "as_packed");
        EndJsonObject(writer);
    }
    EndJsonArray(writer);
    BeginJsonArray(writer, "shortcuts");
    for (const TrialShortcut& shortcut : report.shortcuts) {
        BeginJsonObject(writer);
        WriteJsonString(writer, "name", shortcut.name);
        WriteJsonString(writer, "path", shortcut.path);
        WriteJsonString(writer, "target", shortcut.target);
        WriteJsonString(writer, "working_directory", shortcut.workingDirectory);
        WriteJsonString(writer, "icon", shortcut.icon);
        WriteJsonString(writer, "description", shortcut.description);
        EndJsonObject(writer);
    }
    EndJsonArray(writer);
    BeginJsonArray(writer, "started");
    for (const TrialStart& start : report.started) {
        BeginJsonObject(writer);
        WriteJsonString(writer, "command", start.command);
        WriteJsonString(writer, "directory", start.directory);
        WriteJsonBool(writer, "running_when_installer_ended", start.runningAtEnd);
        EndJsonObject(writer);
    }
    EndJsonArray(writer);
    if (report.leftAfterRun) {
        BeginJsonArray(writer, "left_after_run");
        for (const std::string& left : *report.leftAfterRun) WriteJsonString(writer, nullptr, left);
        EndJsonArray(writer);
    } else {
        WriteJsonNull(writer, "left_after_run");
    }
    WriteJsonDecimal(writer, "seconds", report.seconds, 2);
    WriteJsonString(writer, "result", report.problems.empty() ? "pass" : "fail");
    BeginJsonArray(writer, "problems");
    for (const std::string& problem : report.problems) WriteJsonString(writer, nullptr, problem);
    EndJsonArray(writer);
    if (report.keptFolder.empty()) WriteJsonNull(writer, "kept");
    else WriteJsonString(writer, "kept", report.keptFolder);
    EndJsonObject(writer);
}

}   // namespace

int RunTry(const CommandLine& line, const CodePage& codePage) {
    TrialRequest request;
    request.installerPath = line.operands[0];
    request.keepFolder = line.keepFolder;
    request.timeoutSeconds = line.timeoutSeconds;
    request.note = Note;
    TrialReport report;
    bool wineProblem = false;
    Problem problem = RunTrial(request, codePage, &report, &wineProblem);
    if (wineProblem) {
        fprintf(stderr, "sfxpack: try needs Wine: %s\n", TerminalText(problem.text).c_str());
        return EXIT_NO_WINE;
    }
    if (problem) return Fail(problem.text);
    if (line.json) {
        JsonWriter writer;
        WriteJsonReport(&writer, request.installerPath, report);
        fputs(writer.text.c_str(), stdout);
    } else {
        PrintReport(request.installerPath, report, line.quiet);
    }
    return report.problems.empty() ? EXIT_OK : EXIT_FAILED;
}
