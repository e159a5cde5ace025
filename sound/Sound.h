#pragma once
// Sounds, groups and channels: what scripts play. Used from the script thread only.
#include "sound/Engine.h"

#include <memory>
#include <vector>

namespace KoSound {

class IChannel {
public:
    virtual ~IChannel() = default;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool restart() = 0;
    virtual bool isInvalid() = 0;
    virtual bool isPlaying() = 0;
    virtual bool isPaused() = 0;
    virtual bool setVolume(float v) = 0;
    virtual float getVolume() = 0;
    virtual bool setSpeed(float r) = 0;
    virtual float getSpeed() = 0;
};
using ChannelPtr = std::shared_ptr<IChannel>;

class IGroup;

class ISound {
public:
    virtual ~ISound() = default;
    virtual ChannelPtr play(uint32_t startFrame) = 0;
    virtual ChannelPtr loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) = 0;
    virtual bool stop() = 0;
    virtual bool pause() = 0;
    virtual bool restart() = 0;
    virtual bool isPlaying() = 0;
    virtual bool isPaused() = 0;
    virtual bool setVolume(float v) = 0;
    virtual float getVolume() = 0;
    virtual bool setSpeed(float r) = 0;
    virtual float getSpeed() = 0;
    virtual uint32_t getLength() = 0;
    virtual std::shared_ptr<IGroup> getGroup() = 0;
    virtual void setGroup(std::weak_ptr<IGroup> group) = 0;
    virtual void clearGroup() = 0;
    virtual void applyGroupVolume(float factor) = 0;
    virtual void applyGroupSpeed(float factor) = 0;
};
using SoundPtr = std::shared_ptr<ISound>;

class IGroup : public ISound {
public:
    virtual bool addMember(const SoundPtr& sound) = 0;
    virtual bool removeMember(const SoundPtr& sound) = 0;
    virtual bool clearMembers() = 0;
    virtual std::vector<SoundPtr> getMembers() = 0;
};
using GroupPtr = std::shared_ptr<IGroup>;

// Volume and speed products of a group and every group above it (1 for none).
float chainVolume(const GroupPtr& group);
float chainSpeed(const GroupPtr& group);

// One playing instance of a sound.
class Channel final : public IChannel {
public:
    Channel(BufferPtr buffer, float volumeFactor, float speedFactor);
    bool stop() override;
    bool pause() override;
    bool restart() override;
    bool isInvalid() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float v) override;
    float getVolume() override;
    bool setSpeed(float r) override;
    float getSpeed() override;
    void applyParentVolume(float factor);
    void applyParentSpeed(float factor);
    const BufferPtr& buffer() const { return buffer_; }

private:
    BufferPtr buffer_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    float volumeFactor_;
    float speedFactor_;
};

// The channel of a group's play: every member's channel at once.
class MixedChannel final : public IChannel {
public:
    bool stop() override;
    bool pause() override;
    bool restart() override;
    bool isInvalid() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float v) override;
    float getVolume() override { return volume_; }
    bool setSpeed(float r) override;
    float getSpeed() override { return speed_; }
    int channelCount() const { return int(channels_.size()); }
    bool addChannel(ChannelPtr channel);
    bool removeChannel(const ChannelPtr& channel);
    bool removeChannelAt(uint32_t index);
    bool clearChannels();

private:
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::vector<ChannelPtr> channels_;
};

// One sound file; every play opens its own reader and buffer.
class Sound final : public ISound {
public:
    // Empty unless both are given.
    static std::shared_ptr<Sound> create(EnginePtr engine, SoundDataPtr data);
    Sound(EnginePtr engine, SoundDataPtr data)
        : engine_(std::move(engine)), data_(std::move(data)) {}
    ~Sound() override; // stops every channel

    ChannelPtr play(uint32_t startFrame) override;
    ChannelPtr loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) override;
    bool stop() override;
    bool pause() override;
    bool restart() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float v) override;
    float getVolume() override { return volume_; }
    bool setSpeed(float r) override;
    float getSpeed() override { return speed_; }
    uint32_t getLength() override { return data_->getLength(); }
    GroupPtr getGroup() override { return group_.lock(); }
    void setGroup(std::weak_ptr<IGroup> group) override;
    void clearGroup() override { group_.reset(); }
    void applyGroupVolume(float factor) override;
    void applyGroupSpeed(float factor) override;

    void pruneChannels();
    size_t channelCount() const { return channels_.size(); }

private:
    std::shared_ptr<Channel> makeChannel(bool looping, uint32_t start, int32_t count,
                                         uint32_t loopStart);

    std::weak_ptr<IGroup> group_;
    EnginePtr engine_;
    SoundDataPtr data_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::vector<std::shared_ptr<Channel>> channels_;
};

// A set of sounds and groups controlled together. Membership is weak.
class Group final : public IGroup {
public:
    static std::shared_ptr<Group> create();

    ChannelPtr play(uint32_t startFrame) override;
    ChannelPtr loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) override;
    bool stop() override;
    bool pause() override;
    bool restart() override;
    bool isPlaying() override;
    bool isPaused() override;
    bool setVolume(float v) override;
    float getVolume() override { return volume_; }
    bool setSpeed(float r) override;
    float getSpeed() override { return speed_; }
    uint32_t getLength() override;
    GroupPtr getGroup() override { return parent_.lock(); }
    void setGroup(std::weak_ptr<IGroup> group) override;
    void clearGroup() override { parent_.reset(); }
    void applyGroupVolume(float factor) override;
    void applyGroupSpeed(float factor) override;

    bool addMember(const SoundPtr& sound) override;
    bool removeMember(const SoundPtr& sound) override;
    bool clearMembers() override;
    std::vector<SoundPtr> getMembers() override;

private:
    void eraseDead();
    void propagate();

    std::weak_ptr<Group> self_;
    std::weak_ptr<IGroup> parent_;
    float volume_ = 1.0f;
    float speed_ = 1.0f;
    std::vector<std::weak_ptr<ISound>> members_;
};

} // namespace KoSound
