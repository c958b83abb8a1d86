// Cost of a redundant SetRenderState and of a dynamic-buffer lock on the software Direct3D 9 device, beside a plain
// call.
#include <benchmark/benchmark.h>

#include <cstring>

#include "platform/d3d9/d3d9.h"
#include "platform/testsupport/softdevice.h"

namespace {

constexpr int kBatch = 4096;
constexpr UINT kBufferSize = 64 * 1024;
constexpr UINT kChunk = 64;

// The baseline: one call the compiler may not inline or drop.
__attribute__((noinline)) DWORD PlainCall(DWORD value)
{
    benchmark::ClobberMemory();
    return value + 1;
}

struct Device {
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* dev = nullptr;
    explicit Device(bool logging)
    {
        d3d = D3D9SoftCreate(D3D9_CAPS_FULL);
        D3DPRESENT_PARAMETERS pp = D3D9WindowedParameters(640, 480, nullptr);
        d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev);
        D3D9SoftSetLogging(dev, logging);
    }
    ~Device()
    {
        dev->Release();
        d3d->Release();
    }
};

void BM_PlainCall(benchmark::State& state)
{
    DWORD v = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            v = PlainCall(v);
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PlainCall);

// The same value again and again: the device does not filter it. Argument: log on (1) or off (0).
void BM_RedundantSetRenderState(benchmark::State& state)
{
    Device device(state.range(0) != 0);
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            device.dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        D3D9SoftClearLog(device.dev);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_RedundantSetRenderState)->Arg(0)->Arg(1);

// The dynamic vertex-buffer pattern: append 64 bytes with NOOVERWRITE, DISCARD when full.
void BM_DynamicBufferLockUnlock(benchmark::State& state)
{
    Device device(state.range(0) != 0);
    IDirect3DVertexBuffer9* vb = nullptr;
    device.dev->CreateVertexBuffer(kBufferSize, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vb,
                                   nullptr);
    UINT offset = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            DWORD flags = D3DLOCK_NOOVERWRITE;
            if (offset + kChunk > kBufferSize) {
                offset = 0;
                flags = D3DLOCK_DISCARD;
            }
            void* p = nullptr;
            vb->Lock(offset, kChunk, &p, flags);
            std::memset(p, i, kChunk);
            vb->Unlock();
            offset += kChunk;
        }
        D3D9SoftClearLog(device.dev);
    }
    vb->Release();
    state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_DynamicBufferLockUnlock)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
