#include "CheckpointSink.h"

#include <atomic>

namespace {
std::atomic<CheckpointSink*> g_restorer{nullptr};
std::atomic<ScanCheckpointSink*> g_scan{nullptr};
}  // namespace

CheckpointSink* SetRestorerCheckpointSink(CheckpointSink* sink) { return g_restorer.exchange(sink); }
ScanCheckpointSink* SetScanCheckpointSink(ScanCheckpointSink* sink) { return g_scan.exchange(sink); }
CheckpointSink* RestorerCheckpointSink() { return g_restorer.load(); }
ScanCheckpointSink* ScanCheckpoints() { return g_scan.load(); }

void RestorerCheckpoint(const std::wstring& text) {
    if (CheckpointSink* sink = g_restorer.load()) sink->Detail2Ini(text, false);
}

void ScanCheckpoint(const std::wstring& text) {
    if (ScanCheckpointSink* sink = g_scan.load()) sink->Detail2Ini(text, false);
}
