// Where the file and version helpers leave their stage marks. The windows that own the
// logging levels implement these: the association restorer for the path checkpoints, the
// options window's program scan for the version-reading marks and the search's progress.
// With no sink installed (the hook, the chooser, tests that don't care) nothing is written.
#pragma once
#include <string>

class CheckpointSink {
public:
    // Writes the INI key "Detail" := text while the owner's logging level is 1 or more, or when forced.
    virtual void Detail2Ini(const std::wstring& text, bool force) = 0;

protected:
    ~CheckpointSink() = default;
};

// The program scan also gates the search's "File"/"Path" progress writers by its searching level.
class ScanCheckpointSink : public CheckpointSink {
public:
    virtual int SearchingLevel() const = 0;

protected:
    ~ScanCheckpointSink() = default;
};

// Install (nullptr removes); each answers the previous sink.
CheckpointSink* SetRestorerCheckpointSink(CheckpointSink* sink);
ScanCheckpointSink* SetScanCheckpointSink(ScanCheckpointSink* sink);
CheckpointSink* RestorerCheckpointSink();
ScanCheckpointSink* ScanCheckpoints();

// Not forced: the sink decides by its logging level. Nothing happens without a sink.
void RestorerCheckpoint(const std::wstring& text);
void ScanCheckpoint(const std::wstring& text);
