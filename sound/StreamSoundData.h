#pragma once
// PCM that arrives while it plays (a video's sound track): a producer pushes 16-bit blocks with
// their media time, the engine reads them like any sound data. Thread-safe.
#include "sound/SoundData.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace KoSound {

class StreamSoundData final : public ISoundData {
public:
    // 16-bit samples; `maxQueuedSeconds` bounds what waits unread (the oldest goes first), so an
    // output that never reads (the silent engine) does not grow the queue without end.
    StreamSoundData(uint32_t channels, uint32_t rate, double maxQueuedSeconds = 2.0);

    // Producer side.
    void push(const int16_t* samples, uint32_t frames, double time);
    // No more data follows: reads end once the queue is empty.
    void endOfData();
    // Drops everything queued and forgets the end (before the producer starts again elsewhere).
    void flush();
    double queuedSeconds();

    // Media time of the frame `frame` (as counted by read and tell), NaN when that frame was
    // filler silence or is no longer remembered.
    double timeAt(uint32_t frame);

    SoundFormat getFormat() override;
    FileDataPtr getFileData() override { return nullptr; }
    // Open-ended: the stream has no length of its own.
    uint32_t getLength() override { return 0xFFFFFFF0u; }
    // Renumbers the frames (the queue stays): a new play starts counting at `frame`.
    bool seek(uint32_t frame) override;
    uint32_t tell() override;
    // Reads queued data; when the queue runs dry before the end, fills the rest with silence so
    // the output keeps running. 0 only after endOfData() and an empty queue.
    uint32_t read(void* destination, uint32_t byteCount) override;
    // Stream data cannot be read twice.
    SoundDataPtr reopen() override { return nullptr; }

private:
    struct Chunk {
        std::vector<int16_t> samples;
        size_t offset = 0; // samples already read
        double time = 0;   // of the first sample
    };
    struct Segment {
        uint32_t frame; // first stream frame of the run
        double time;    // its media time, NaN for silence
    };
    void note(uint32_t frame, double time);

    std::mutex mutex_;
    uint32_t channels_;
    uint32_t rate_;
    size_t maxQueued_; // samples
    std::deque<Chunk> queue_;
    size_t queued_ = 0; // samples
    bool ended_ = false;
    uint32_t position_ = 0; // frames read since the last seek
    std::deque<Segment> segments_;
};

} // namespace KoSound
