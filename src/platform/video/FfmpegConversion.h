#pragma once
// The conversion itself, free of Qt's event loop so it can run on any thread: reads the
// source with libavformat, writes a web MP4 (or remuxes one that already is) and a JPEG
// poster. Outputs go exactly to the paths given; the caller picks temporary names.
#include <atomic>
#include <functional>
#include <string>

namespace parlivo::video {

struct ConversionOutcome
{
    bool converted = false;
    bool posterWritten = false;
    bool cancelled = false;
    bool remuxed = false;   // the source already suited the web; its streams were copied
    std::string error;
};

// progress receives 0..100 whenever the position moves; cancel is polled between packets
// and during blocking reads.
ConversionOutcome convertForWeb(const std::string &source, const std::string &mp4Path,
                                const std::string &posterPath, const std::atomic<bool> &cancel,
                                const std::function<void(int)> &progress);

struct CleanOutcome
{
    bool cleaned = false;
    bool cancelled = false;
    std::string error;
};

// Copies the video and sound streams of source into target, packets as they are, in the
// container that target's extension names (".avi", ".mov", ...), and nothing else: no
// container or stream metadata (place, creation time, device, encoder), no chapters, no
// attached pictures or data tracks.
CleanOutcome remuxWithoutMetadata(const std::string &source, const std::string &target,
                                  const std::string &extension, const std::atomic<bool> &cancel);

} // namespace parlivo::video
