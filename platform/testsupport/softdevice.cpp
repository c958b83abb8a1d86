// Test support: the watcher of the software Direct3D 9 back end, which keeps its log and makes its failures.
#include "platform/testsupport/softdevice.h"

#include <algorithm>
#include <set>

namespace {

const size_t kMaxEvents = size_t(1) << 18;  // about 40 MB at most
// Shaded vertices the log keeps in all (about 50 MB); later draws are logged without them until it is cleared.
const size_t kMaxShadedKept = size_t(1) << 18;

class SoftWatch;

// The watchers alive, each with the back end it watches.
std::vector<SoftWatch*>& Watches()
{
    static std::vector<SoftWatch*> watches;
    return watches;
}

class SoftWatch final : public D3D9Watcher {
public:
    explicit SoftWatch(D3D9Backend* watched) : backend(watched) { Watches().push_back(this); }
    ~SoftWatch() override
    {
        std::vector<SoftWatch*>& watches = Watches();
        watches.erase(std::remove(watches.begin(), watches.end(), this), watches.end());
    }

    D3D9SoftEvent* Push(D3D9SoftEventType type) override
    {
        if (!logging || log.size() >= kMaxEvents)
            return nullptr;
        log.emplace_back();  // value-initialised: every field starts at 0
        log.back().type = type;
        return &log.back();
    }

    void Drawn(const D3D9State& state, const D3D9DrawCall& draw, UINT lowest, UINT highest,
               D3D9SoftEvent* record) override
    {
        if (shadedKept + (highest - lowest + 1) > kMaxShadedKept)
            return;
        D3D9SoftShadeVertices(state, draw, lowest, highest, &record->shaded);
        shadedKept += record->shaded.size();
    }

    bool Refuses(D3DFORMAT format) override { return refused.count(format) != 0; }

    HRESULT Create(DWORD failClass) override
    {
        if (failCreates == 0 || !(failClasses & failClass))
            return D3D_OK;
        --failCreates;
        return D3DERR_OUTOFVIDEOMEMORY;
    }

    HRESULT Reset() override
    {
        if (lost && lostPolls > 0)
            return D3DERR_DEVICELOST;
        if (failResets > 0) {
            --failResets;
            return D3DERR_INVALIDCALL;
        }
        lost = false;
        return D3D_OK;
    }

    HRESULT CooperativeLevel() override
    {
        if (!lost)
            return D3D_OK;
        if (lostPolls > 0) {
            --lostPolls;
            return D3DERR_DEVICELOST;
        }
        return D3DERR_DEVICENOTRESET;
    }

    HRESULT Present() override { return lost ? D3DERR_DEVICELOST : D3D_OK; }

    D3D9Backend* backend;
    std::set<D3DFORMAT> refused;
    UINT lostPolls = 0;
    bool lost = false;
    UINT failResets = 0;
    UINT failCreates = 0;
    DWORD failClasses = 0;
    bool logging = true;
    std::vector<D3D9SoftEvent> log;
    size_t shadedKept = 0;
};

D3D9Watcher* MakeWatch(D3D9Backend* backend) { return new SoftWatch(backend); }

// Every software back end a test makes is watched from the start.
[[maybe_unused]] const bool kWatching = (D3D9WatchSoftBackends(MakeWatch), true);

SoftWatch* WatchOf(D3D9Backend* backend)
{
    if (!backend)
        return nullptr;
    for (SoftWatch* watch : Watches()) {
        if (watch->backend == backend)
            return watch;
    }
    return nullptr;
}

SoftWatch* WatchOf(IDirect3D9* d3d) { return WatchOf(D3D9BackendOf(d3d)); }

SoftWatch* WatchOf(IDirect3DDevice9* device) { return WatchOf(D3D9BackendOf(device)); }

}  // namespace

IDirect3D9* D3D9SoftCreate(D3D9CapsProfile profile)
{
    D3D9WatchSoftBackends(MakeWatch);
    return D3D9CreateOnBackend(D3D9CreateSoftBackend(profile));
}

bool D3D9SoftIsSoftware(IDirect3D9* d3d) { return WatchOf(d3d) != nullptr; }

bool D3D9SoftIsSoftware(IDirect3DDevice9* device) { return WatchOf(device) != nullptr; }

void D3D9SoftRefuseFormat(IDirect3D9* d3d, D3DFORMAT format, bool refuse)
{
    SoftWatch* watch = WatchOf(d3d);
    if (!watch)
        return;
    if (refuse) {
        watch->refused.insert(format);
    } else {
        watch->refused.erase(format);
    }
}

void D3D9SoftLoseDevice(IDirect3DDevice9* device, UINT lostPolls)
{
    SoftWatch* watch = WatchOf(device);
    if (!watch)
        return;
    watch->lost = true;
    watch->lostPolls = lostPolls;
}

void D3D9SoftFailResets(IDirect3DDevice9* device, UINT count)
{
    if (SoftWatch* watch = WatchOf(device))
        watch->failResets = count;
}

void D3D9SoftFailCreates(IDirect3DDevice9* device, UINT count, DWORD classes)
{
    SoftWatch* watch = WatchOf(device);
    if (!watch)
        return;
    watch->failCreates = count;
    watch->failClasses = classes;
}

const std::vector<D3D9SoftEvent>& D3D9SoftLog(IDirect3DDevice9* device)
{
    static const std::vector<D3D9SoftEvent> kEmpty;
    SoftWatch* watch = WatchOf(device);
    return watch ? watch->log : kEmpty;
}

void D3D9SoftClearLog(IDirect3DDevice9* device)
{
    SoftWatch* watch = WatchOf(device);
    if (!watch)
        return;
    watch->log.clear();
    watch->shadedKept = 0;
}

void D3D9SoftSetLogging(IDirect3DDevice9* device, bool on)
{
    if (SoftWatch* watch = WatchOf(device))
        watch->logging = on;
}

size_t D3D9SoftCount(IDirect3DDevice9* device, D3D9SoftEventType type)
{
    const std::vector<D3D9SoftEvent>& log = D3D9SoftLog(device);
    return static_cast<size_t>(
        std::count_if(log.begin(), log.end(), [type](const D3D9SoftEvent& e) { return e.type == type; }));
}

const D3D9SoftEvent* D3D9SoftLast(IDirect3DDevice9* device, D3D9SoftEventType type)
{
    const std::vector<D3D9SoftEvent>& log = D3D9SoftLog(device);
    for (size_t i = log.size(); i > 0; --i) {
        if (log[i - 1].type == type)
            return &log[i - 1];
    }
    return nullptr;
}
