#include "script/ScAudio.h"

#include "script/Run.h"
#include "script/bind/Bind.h"
#include "sound/Callback.h"
#include "sound/Context.h"
#include "sound/NullEngine.h"
#include "sound/Sound.h"
#include "sound/ogg/OggSoundLoader.h"

#include <algorithm>
#include <climits>

namespace KoScript {

namespace {

using namespace KoScript;
using KoSound::ChannelPtr;
using KoSound::SoundPtr;

const ClassTag soundTag{"Audio.Sound"};
const ClassTag groupTag{"Audio.Group"};
const ClassTag channelTag{"Audio.Channel"};

// The loaded library's context and its running fades and stops.
struct AudioState {
    std::shared_ptr<KoSound::Context> context;
    KoSound::CallbackList callbacks;
    bool opening = false;
};
std::unique_ptr<AudioState> state;

// A game that makes sounds will play them: the device starts opening on a worker at its first
// sound and is ready by the first play (which otherwise waits for it). A game without sounds
// never opens it, and spares its memory (OpenAL Soft's voices, about 8 MiB) and mixer thread.
void openDeviceSoon() {
    if (state->opening) return;
    state->opening = true;
    if (auto deferred =
            std::dynamic_pointer_cast<KoSound::DeferredEngine>(state->context->getEngine()))
        deferred->startOpening();
}

// An Audio.Channel may hold nothing.
struct ChannelBox {
    ChannelPtr channel;
};

// Frame counts below 0 mean no frames.
uint32_t frames(HSQUIRRELVM v, SQInteger idx) {
    int64_t n = *getInt(v, idx);
    return n < 0 ? 0 : uint32_t(std::min<int64_t>(n, UINT32_MAX));
}

// Start frames below 0 can never be played: they map past every length.
uint32_t frameArg(HSQUIRRELVM v, SQInteger idx) {
    int64_t n = *getInt(v, idx);
    return n < 0 || n > int64_t(UINT32_MAX) ? UINT32_MAX : uint32_t(n);
}

// The result of play and loop: an instance made by calling the class bound as Audio.Channel
// (a script may have put a subclass there), holding the channel; null for no channel. A class
// that makes something else has it handed back as it is.
SQInteger pushChannel(HSQUIRRELVM v, ChannelPtr channel) {
    if (!channel) {
        sq_pushnull(v);
        return 1;
    }
    const SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    push(v, u"Audio");
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        push(v, u"Channel");
        if (SQ_SUCCEEDED(sq_get(v, -2))) {
            sq_pushroottable(v);
            if (SQ_FAILED(sq_call(v, 1, SQTrue, SQTrue))) {
                sq_settop(v, top);
                return SQ_ERROR;
            }
            SQUserPointer up = nullptr;
            if (sq_gettype(v, -1) == OT_INSTANCE &&
                SQ_SUCCEEDED(sq_getinstanceup(v, -1, &up, const_cast<ClassTag*>(&channelTag))))
                setInstance(v, -1, std::make_shared<ChannelBox>(ChannelBox{channel}));
            sq_remove(v, -2); // the class
            sq_remove(v, -2); // Audio
            sq_remove(v, -2); // the root table
            return 1;
        }
    }
    sq_settop(v, top);
    // Audio.Channel is gone: the library's own class still makes the channel.
    if (!pushInstance(v, channelTag, std::make_shared<ChannelBox>(ChannelBox{channel})))
        sq_pushnull(v);
    return 1;
}

template <class T, const ClassTag& Tag>
SQInteger shareOnClone(HSQUIRRELVM v) {
    if (auto original = getInstance<T>(v, 2, Tag)) setInstance(v, 1, original);
    return 0;
}

// --- members shared by Audio.Sound and Audio.Group ------------------------------------------

template <const ClassTag& Tag>
SoundPtr selfSound(HSQUIRRELVM v) {
    return getInstance<KoSound::ISound>(v, 1, Tag);
}

template <const ClassTag& Tag>
SQInteger soundPlay(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s) return throwWrongParams(v);
    SQInteger n = argCount(v);
    if (n == 0) return pushChannel(v, s->play(0));
    if (n == 1 && checkParams(v, "i")) return pushChannel(v, s->play(frameArg(v, 2)));
    return throwWrongParams(v);
}

template <const ClassTag& Tag>
SQInteger soundLoop(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s) return throwWrongParams(v);
    static const char* masks[] = {"", "i", "ii", "iii"};
    SQInteger n = argCount(v);
    if (n > 3 || !checkParams(v, masks[n])) return throwWrongParams(v);
    uint32_t start = n >= 1 ? frameArg(v, 2) : 0;
    SQInteger count = n >= 2 ? *getInt(v, 3) : 0;
    uint32_t loopStart = n >= 3 ? frameArg(v, 4) : 0;
    // 0 and negative counts repeat for ever.
    auto c = int32_t(std::clamp<int64_t>(count, INT32_MIN, INT32_MAX));
    return pushChannel(v, s->loop(start, c, loopStart));
}

template <const ClassTag& Tag, bool (KoSound::ISound::*Op)()>
SQInteger soundCall(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s || argCount(v) != 0) return throwWrongParams(v);
    push(v, ((*s).*Op)());
    return 1;
}

template <const ClassTag& Tag, bool (KoSound::ISound::*Op)(float)>
SQInteger soundSet(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s || !checkParams(v, "f")) return throwWrongParams(v);
    push(v, ((*s).*Op)(float(*getFloat(v, 2))));
    return 1;
}

template <const ClassTag& Tag, float (KoSound::ISound::*Op)()>
SQInteger soundGet(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQFloat(((*s).*Op)()));
    return 1;
}

template <const ClassTag& Tag>
SQInteger soundGetLength(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s || argCount(v) != 0) return throwWrongParams(v);
    push(v, SQInteger(s->getLength()));
    return 1;
}

template <class Target>
SQInteger fadeTarget(HSQUIRRELVM v, const Target& target) {
    SQInteger n = argCount(v);
    bool ok = false;
    if (n == 2 && checkParams(v, "if")) {
        ok = target && state && state->callbacks.fade(target, frames(v, 2), float(*getFloat(v, 3)));
    } else if (n == 3 && checkParams(v, "iff")) {
        ok = target && state &&
             state->callbacks.fade(target, frames(v, 2), float(*getFloat(v, 3)),
                                   float(*getFloat(v, 4)));
    } else {
        return throwWrongParams(v);
    }
    push(v, ok);
    return 1;
}

template <class Target>
SQInteger fadeOutTarget(HSQUIRRELVM v, const Target& target) {
    if (!checkParams(v, "i")) return throwWrongParams(v);
    push(v, target && state && state->callbacks.fadeOut(target, frames(v, 2)));
    return 1;
}

template <const ClassTag& Tag>
SQInteger soundFade(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s) return throwWrongParams(v);
    return fadeTarget(v, s);
}

template <const ClassTag& Tag>
SQInteger soundFadeOut(HSQUIRRELVM v) {
    auto s = selfSound<Tag>(v);
    if (!s) return throwWrongParams(v);
    return fadeOutTarget(v, s);
}

template <const ClassTag& Tag>
ClassBuilder& soundMembers(ClassBuilder& b) {
    using S = KoSound::ISound;
    return b.method(u"_cloned", shareOnClone<S, Tag>)
        .method(u"play", soundPlay<Tag>)
        .method(u"loop", soundLoop<Tag>)
        .method(u"stop", soundCall<Tag, &S::stop>)
        .method(u"pause", soundCall<Tag, &S::pause>)
        .method(u"restart", soundCall<Tag, &S::restart>)
        .method(u"isPlaying", soundCall<Tag, &S::isPlaying>)
        .method(u"isPaused", soundCall<Tag, &S::isPaused>)
        .method(u"setVolume", soundSet<Tag, &S::setVolume>)
        .method(u"getVolume", soundGet<Tag, &S::getVolume>)
        .method(u"setSpeed", soundSet<Tag, &S::setSpeed>)
        .method(u"getSpeed", soundGet<Tag, &S::getSpeed>)
        .method(u"getLength", soundGetLength<Tag>)
        .method(u"fade", soundFade<Tag>)
        .method(u"fadeOut", soundFadeOut<Tag>);
}

// --- Audio.Sound -----------------------------------------------------------------------------

SQInteger soundCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    KoSound::GroupPtr group;
    if (n == 2 && checkParams(v, "sx")) {
        group = std::dynamic_pointer_cast<KoSound::IGroup>(
            getInstance<KoSound::ISound>(v, 3, groupTag));
        if (!group) return throwWrongParams(v);
    } else if (!(n == 1 && checkParams(v, "s"))) {
        return throwWrongParams(v);
    }
    String path = *getString(v, 2);
    auto fail = [&] {
        return throwScriptError(v, format(u"音声ファイル '%s' の読み込みに失敗しました。", {path}));
    };
    auto data = state && state->context ? state->context->load(path) : nullptr;
    auto sound = data ? KoSound::Sound::create(state->context->getEngine(), data) : nullptr;
    if (!sound) return fail();
    openDeviceSoon();
    if (group && !group->addMember(sound)) return fail();
    setInstance<KoSound::ISound>(v, 1, sound);
    return 0;
}

// --- Audio.Group -----------------------------------------------------------------------------

SQInteger groupCtor(HSQUIRRELVM v) {
    SQInteger n = argCount(v);
    KoSound::GroupPtr parent;
    if (n == 1 && checkParams(v, "x")) {
        parent = std::dynamic_pointer_cast<KoSound::IGroup>(
            getInstance<KoSound::ISound>(v, 2, groupTag));
        if (!parent) return throwWrongParams(v);
    } else if (n != 0) {
        return throwWrongParams(v);
    }
    auto group = KoSound::Group::create();
    if (parent && !parent->addMember(group)) return throwScriptError(v, kCreateFailed);
    setInstance<KoSound::ISound>(v, 1, group);
    return 0;
}

// --- Audio.Channel ---------------------------------------------------------------------------

ChannelPtr selfChannel(HSQUIRRELVM v) {
    auto box = getInstance<ChannelBox>(v, 1, channelTag);
    return box ? box->channel : nullptr;
}

SQInteger channelCtor(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    setInstance(v, 1, std::make_shared<ChannelBox>());
    return 0;
}

SQInteger channelIsInvalid(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto c = selfChannel(v);
    push(v, !c || c->isInvalid());
    return 1;
}

template <bool (KoSound::IChannel::*Op)()>
SQInteger channelCall(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto c = selfChannel(v);
    push(v, c && !c->isInvalid() && ((*c).*Op)());
    return 1;
}

template <bool (KoSound::IChannel::*Op)(float)>
SQInteger channelSet(HSQUIRRELVM v) {
    if (!checkParams(v, "f")) return throwWrongParams(v);
    auto c = selfChannel(v);
    push(v, c && ((*c).*Op)(float(*getFloat(v, 2))));
    return 1;
}

template <float (KoSound::IChannel::*Op)()>
SQInteger channelGet(HSQUIRRELVM v) {
    if (argCount(v) != 0) return throwWrongParams(v);
    auto c = selfChannel(v);
    push(v, SQFloat(c ? ((*c).*Op)() : 0.0f));
    return 1;
}

SQInteger channelFade(HSQUIRRELVM v) {
    return fadeTarget(v, selfChannel(v));
}

SQInteger channelFadeOut(HSQUIRRELVM v) {
    return fadeOutTarget(v, selfChannel(v));
}

} // namespace

bool AudioLibrary::load(HSQUIRRELVM v) {
    if (state) return false; // one Audio library (and one engine) at a time
    auto files = std::make_shared<KoSound::SoundFileLoader>();
    auto sounds = std::make_shared<KoSound::MixedSoundLoader>();
    sounds->addLoader(std::make_shared<KoSound::WavSoundLoader>());
    sounds->addLoader(std::make_shared<KoSound::Ogg::SoundLoader>());
    KoSound::EnginePtr engine;
    if (clock_) {
        engine = std::make_shared<KoSound::NullEngine>(KoTimer::secondsOf(clock_));
    } else {
        engine = KoSound::createDefaultEngine();
    }
    auto context = KoSound::Context::create(std::move(engine), files, sounds);
    if (!context) return false;
    state = std::make_unique<AudioState>();
    state->context = std::move(context);

    sq_pushroottable(v);
    SQInteger root = sq_gettop(v);
    sq_newtable(v);
    SQInteger audio = sq_gettop(v);
    using C = KoSound::IChannel;
    ClassBuilder(v, audio, u"Channel", channelTag)
        .ctor(channelCtor)
        .method(u"_cloned", shareOnClone<ChannelBox, channelTag>)
        .method(u"isInvalid", channelIsInvalid)
        .method(u"isPlaying", channelCall<&C::isPlaying>)
        .method(u"isPaused", channelCall<&C::isPaused>)
        .method(u"stop", channelCall<&C::stop>)
        .method(u"pause", channelCall<&C::pause>)
        .method(u"restart", channelCall<&C::restart>)
        .method(u"setVolume", channelSet<&C::setVolume>)
        .method(u"getVolume", channelGet<&C::getVolume>)
        .method(u"setSpeed", channelSet<&C::setSpeed>)
        .method(u"getSpeed", channelGet<&C::getSpeed>)
        .method(u"fade", channelFade)
        .method(u"fadeOut", channelFadeOut)
        .done();
    {
        ClassBuilder b(v, audio, u"Group", groupTag);
        b.ctor(groupCtor);
        soundMembers<groupTag>(b).done();
    }
    {
        ClassBuilder b(v, audio, u"Sound", soundTag);
        b.ctor(soundCtor);
        soundMembers<soundTag>(b).done();
    }
    push(v, u"Audio");
    sq_push(v, audio);
    sq_newslot(v, root, SQFalse);
    sq_settop(v, root - 1);
    if (runBuiltinScript(v, BuiltinScript::Audio)) return true;
    state.reset();
    return false;
}

void AudioLibrary::endFrame(HSQUIRRELVM) {
    if (state) state->callbacks.update();
}

void AudioLibrary::unload(HSQUIRRELVM) {
    if (!state) return;
    state->callbacks.clear();
    state.reset(); // the context goes, and with it the output
}

} // namespace KoScript
