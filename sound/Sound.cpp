#include "sound/Sound.h"

#include <algorithm>

namespace KoSound {

float chainVolume(const GroupPtr& group) {
    return group ? chainVolume(group->getGroup()) * group->getVolume() : 1.0f;
}

float chainSpeed(const GroupPtr& group) {
    return group ? chainSpeed(group->getGroup()) * group->getSpeed() : 1.0f;
}

// --- Channel -------------------------------------------------------------------------------

Channel::Channel(BufferPtr buffer, float volumeFactor, float speedFactor)
    : buffer_(std::move(buffer)), volumeFactor_(volumeFactor), speedFactor_(speedFactor) {
    buffer_->setVolume(volumeFactor);
    buffer_->setSpeed(speedFactor);
}

bool Channel::isInvalid() {
    return !buffer_->isPlaying();
}

bool Channel::stop() {
    if (isInvalid()) return false;
    buffer_->stop();
    return true;
}

bool Channel::pause() {
    return !isInvalid() && buffer_->pause();
}

bool Channel::restart() {
    return !isInvalid() && buffer_->restart();
}

bool Channel::isPlaying() {
    return buffer_->isPlaying();
}

bool Channel::isPaused() {
    return buffer_->isPaused();
}

bool Channel::setVolume(float v) {
    if (isInvalid() || !(v >= 0.0f && v <= 1.0f)) return false;
    volume_ = v;
    return buffer_->setVolume(v * volumeFactor_);
}

float Channel::getVolume() {
    return isInvalid() ? 0.0f : volume_;
}

bool Channel::setSpeed(float r) {
    if (isInvalid() || !(r >= 0.5f && r <= 2.0f)) return false;
    speed_ = r;
    return buffer_->setSpeed(r * speedFactor_);
}

float Channel::getSpeed() {
    return isInvalid() ? 0.0f : speed_;
}

void Channel::applyParentVolume(float factor) {
    volumeFactor_ = factor;
    buffer_->setVolume(factor * volume_);
}

void Channel::applyParentSpeed(float factor) {
    speedFactor_ = factor;
    buffer_->setSpeed(factor * speed_);
}

// --- MixedChannel --------------------------------------------------------------------------

bool MixedChannel::stop() {
    for (auto& c : channels_) c->stop();
    return true;
}

bool MixedChannel::pause() {
    for (auto& c : channels_) c->pause();
    return true;
}

bool MixedChannel::restart() {
    for (auto& c : channels_) c->restart();
    return true;
}

bool MixedChannel::isInvalid() {
    return std::all_of(channels_.begin(), channels_.end(), [](auto& c) { return c->isInvalid(); });
}

bool MixedChannel::isPlaying() {
    return std::any_of(channels_.begin(), channels_.end(), [](auto& c) { return c->isPlaying(); });
}

bool MixedChannel::isPaused() {
    return std::any_of(channels_.begin(), channels_.end(), [](auto& c) { return c->isPaused(); });
}

bool MixedChannel::setVolume(float v) {
    if (!(v >= 0.0f && v <= 1.0f)) return false;
    for (auto& c : channels_) c->setVolume(v);
    volume_ = v;
    return true;
}

bool MixedChannel::setSpeed(float r) {
    if (!(r >= 0.0f && r <= 1.0f)) return false;
    for (auto& c : channels_) c->setSpeed(r);
    speed_ = r;
    return true;
}

bool MixedChannel::addChannel(ChannelPtr channel) {
    if (!channel) return false;
    channels_.push_back(std::move(channel));
    return true;
}

bool MixedChannel::removeChannel(const ChannelPtr& channel) {
    auto it = std::find(channels_.begin(), channels_.end(), channel);
    if (it == channels_.end()) return false;
    channels_.erase(it);
    return true;
}

bool MixedChannel::removeChannelAt(uint32_t index) {
    if (index >= channels_.size()) return false;
    channels_.erase(channels_.begin() + index);
    return true;
}

bool MixedChannel::clearChannels() {
    channels_.clear();
    return true;
}

// --- Sound ---------------------------------------------------------------------------------

std::shared_ptr<Sound> Sound::create(EnginePtr engine, SoundDataPtr data) {
    if (!engine || !data) return nullptr;
    return std::make_shared<Sound>(std::move(engine), std::move(data));
}

Sound::~Sound() {
    for (auto& c : channels_) c->stop();
}

// The buffer gets its volume and speed before it starts, so nothing is heard at the wrong level.
std::shared_ptr<Channel> Sound::makeChannel(bool looping, uint32_t start, int32_t count,
                                            uint32_t loopStart) {
    pruneChannels();
    auto reader = data_->reopen();
    auto buffer = reader ? engine_->createBuffer(reader) : nullptr;
    if (!buffer) return nullptr;
    auto group = getGroup();
    auto channel =
        std::make_shared<Channel>(buffer, chainVolume(group) * volume_, chainSpeed(group) * speed_);
    bool started = looping ? buffer->loop(start, count, loopStart) : buffer->play(start);
    if (!started) return nullptr;
    channels_.push_back(channel);
    return channel;
}

ChannelPtr Sound::play(uint32_t startFrame) {
    return makeChannel(false, startFrame, 0, 0);
}

ChannelPtr Sound::loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) {
    return makeChannel(true, startFrame, loopCount, loopStartFrame);
}

bool Sound::stop() {
    for (auto& c : channels_) c->stop();
    pruneChannels();
    return true;
}

bool Sound::pause() {
    pruneChannels();
    for (auto& c : channels_) c->pause();
    return true;
}

bool Sound::restart() {
    pruneChannels();
    for (auto& c : channels_) c->restart();
    return true;
}

bool Sound::isPlaying() {
    pruneChannels();
    return std::any_of(channels_.begin(), channels_.end(), [](auto& c) { return c->isPlaying(); });
}

bool Sound::isPaused() {
    pruneChannels();
    return std::any_of(channels_.begin(), channels_.end(), [](auto& c) { return c->isPaused(); });
}

bool Sound::setVolume(float v) {
    pruneChannels();
    if (!(v >= 0.0f && v <= 1.0f)) return false;
    volume_ = v;
    float f = chainVolume(getGroup()) * v;
    for (auto& c : channels_) c->applyParentVolume(f);
    return true;
}

bool Sound::setSpeed(float r) {
    pruneChannels();
    if (!(r >= 0.0f && r <= 2.0f)) return false;
    speed_ = r;
    float f = chainSpeed(getGroup()) * r;
    for (auto& c : channels_) c->applyParentSpeed(f);
    return true;
}

void Sound::setGroup(std::weak_ptr<IGroup> group) {
    group_ = std::move(group);
    auto g = group_.lock();
    applyGroupVolume(chainVolume(g));
    applyGroupSpeed(chainSpeed(g));
}

void Sound::applyGroupVolume(float factor) {
    for (auto& c : channels_) c->applyParentVolume(factor * volume_);
}

void Sound::applyGroupSpeed(float factor) {
    for (auto& c : channels_) c->applyParentSpeed(factor * speed_);
}

void Sound::pruneChannels() {
    std::erase_if(channels_, [](auto& c) { return c->isInvalid(); });
}

// --- Group ---------------------------------------------------------------------------------

std::shared_ptr<Group> Group::create() {
    auto g = std::make_shared<Group>();
    g->self_ = g;
    return g;
}

void Group::eraseDead() {
    std::erase_if(members_, [](auto& m) { return m.expired(); });
}

std::vector<SoundPtr> Group::getMembers() {
    std::vector<SoundPtr> live;
    for (auto& m : members_)
        if (auto s = m.lock()) live.push_back(std::move(s));
    return live;
}

bool Group::addMember(const SoundPtr& sound) {
    eraseDead();
    if (!sound) return false;
    auto self = self_.lock();
    if (sound->getGroup() == self) return true;
    // A group may not join itself or a group below it: the chains would never end.
    for (GroupPtr g = self; g; g = g->getGroup())
        if (g == sound) return false;
    if (auto old = sound->getGroup()) old->removeMember(sound);
    members_.push_back(sound);
    sound->setGroup(self);
    return true;
}

bool Group::removeMember(const SoundPtr& sound) {
    eraseDead();
    if (!sound) return false;
    for (auto it = members_.begin(); it != members_.end(); ++it) {
        if (it->lock() == sound) {
            members_.erase(it);
            sound->clearGroup();
            break;
        }
    }
    return true;
}

bool Group::clearMembers() {
    for (auto& s : getMembers()) s->clearGroup();
    members_.clear();
    return true;
}

ChannelPtr Group::play(uint32_t startFrame) {
    auto mixed = std::make_shared<MixedChannel>();
    for (auto& s : getMembers()) mixed->addChannel(s->play(startFrame));
    return mixed->channelCount() ? mixed : nullptr;
}

ChannelPtr Group::loop(uint32_t startFrame, int32_t loopCount, uint32_t loopStartFrame) {
    auto mixed = std::make_shared<MixedChannel>();
    for (auto& s : getMembers()) mixed->addChannel(s->loop(startFrame, loopCount, loopStartFrame));
    return mixed->channelCount() ? mixed : nullptr;
}

bool Group::stop() {
    for (auto& s : getMembers()) s->stop();
    return true;
}

bool Group::pause() {
    for (auto& s : getMembers()) s->pause();
    return true;
}

bool Group::restart() {
    for (auto& s : getMembers()) s->restart();
    return true;
}

bool Group::isPlaying() {
    auto m = getMembers();
    return std::any_of(m.begin(), m.end(), [](auto& s) { return s->isPlaying(); });
}

bool Group::isPaused() {
    auto m = getMembers();
    return std::any_of(m.begin(), m.end(), [](auto& s) { return s->isPaused(); });
}

void Group::propagate() {
    float v = chainVolume(getGroup()) * volume_;
    float r = chainSpeed(getGroup()) * speed_;
    for (auto& s : getMembers()) {
        s->applyGroupVolume(v);
        s->applyGroupSpeed(r);
    }
}

bool Group::setVolume(float v) {
    if (!(v >= 0.0f && v <= 1.0f)) return false;
    volume_ = v;
    float f = chainVolume(getGroup()) * volume_;
    for (auto& s : getMembers()) s->applyGroupVolume(f);
    return true;
}

bool Group::setSpeed(float r) {
    if (!(r >= 0.0f && r <= 2.0f)) return false;
    speed_ = r;
    float f = chainSpeed(getGroup()) * speed_;
    for (auto& s : getMembers()) s->applyGroupSpeed(f);
    return true;
}

uint32_t Group::getLength() {
    uint32_t longest = 0;
    for (auto& s : getMembers()) longest = std::max(longest, s->getLength());
    return longest;
}

void Group::setGroup(std::weak_ptr<IGroup> group) {
    parent_ = std::move(group);
    propagate();
}

// Members take the factor from this group's stored values, whatever the caller passes.
void Group::applyGroupVolume(float) {
    float f = chainVolume(getGroup()) * volume_;
    for (auto& s : getMembers()) s->applyGroupVolume(f);
}

void Group::applyGroupSpeed(float) {
    float f = chainSpeed(getGroup()) * speed_;
    for (auto& s : getMembers()) s->applyGroupSpeed(f);
}

} // namespace KoSound
